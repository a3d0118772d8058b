"""Console lines of locating and confirming a skin, as both builds print
them; only the separator and the host's box lines differ."""

FOUND_ROOT = "获取应用数据文件夹成功:"
HINT = "请先更换自定义皮肤之后再使用此功能"
CONFIRM_TEXT = "现在使用的图片是否正确？"
OPEN_FOLDERS = "请分别打开文件夹找到你现在的皮肤文件夹"
TYPE_FOLDER = ("然后在下面输入文件夹路径,如:C:\\Users\\admin\\AppData\\Roaming\\Tencent"
               "\\QQ\\Skins\\customize\\F2BBEC5EE65C628D89B2BA212B0DEF8B，然后按下回车确认")
NO_FOLDER = "没有输入文件夹路径，图片未作任何修改"
PAUSE = "请按任意键继续"


def assert_pauses_last(lines):
    assert lines and lines[-1].startswith(PAUSE), lines


def hint_run(root: str):
    return ["Made By OXT", FOUND_ROOT + root, HINT]


def found_run(root: str, image: str):
    return ["Made By OXT", FOUND_ROOT + root, "已找到图片:" + image, "尝试打开图片" + image]


def folder_prompt(root: str):
    return [FOUND_ROOT + root, OPEN_FOLDERS, TYPE_FOLDER]
