"""What a transform run shows and leaves, shared by the host and Wine runs:
its console lines in order and the pixels of the rewritten image."""

from png_pixels import colours_and_alphas, read_png

PROMPT = "输入不透明度(0-100)越小越透明(推荐50),回车确认"
DONE = "转换完毕，重启QQ生效！按任意退出"
NOT_A_NUMBER = "输入的不是0-100的整数，按推荐值50处理"


def transform_lines(backup: bool, widens: bool, note: str = None):
    """The lines of a run that succeeds; `note` is what the prompt's answer
    drew when it was not used as typed."""
    lines = ["备份文件中"] if backup else []
    lines += ["加载中..", "加载完成"]
    if widens:
        lines += ["转换格式中 24=>32...", "转换中格式完成，重新加载中..", "加载完成"]
    lines.append(PROMPT)
    if note is not None:
        lines.append(note)
    return lines + ["转换中...", "转换完成，保存中...", DONE]


def check_pixels(image, colours, alpha: int):
    """The PNG at image holds RGBA pixels with these colours and one alpha."""
    with open(image, "rb") as f:
        _, _, channels, pixels = read_png(f.read())
    assert channels == 4, channels
    rgb, alphas = colours_and_alphas(pixels, channels)
    assert rgb == colours, "the colours changed"
    assert alphas == {alpha}, alphas
