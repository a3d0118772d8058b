// smoke_box: a stand-in for the tool that exercises the harness itself.
// Built with -fexec-charset=GBK like the tool, so its narrow literals reach
// standard output as GBK bytes. Modes (first argument):
//   ask      prints the ANSI code page, reads a skin name (GBK) from stdin,
//            runs "echo" through the interpreter, asks Yes/No in a "提示"
//            box, on Yes opens the skin's main.png with the shell, then shows
//            an OK box "提示" and exits 0 (Yes) or 7 (No)
//   hang     prints one line and never ends
//   crash    prints one line and writes through a null pointer
//   restart  terminates the first QQ.exe and opens QQScLauncher.exe beside it
#include "utf8_text.h"

#include <shlobj.h>
#include <stdio.h>
#include <string.h>
#include <tlhelp32.h>
#include <wchar.h>

static void say(const char *line) {
  fputs(line, stdout);
  fputs("\n", stdout);
  fflush(stdout);
}

// Narrow text in the ANSI code page, as the tool prints paths.
static void say_wide(const char *label, const wchar_t *text) {
  char narrow[2048];
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, NULL, NULL);
  if (n <= 0) narrow[0] = '\0';
  printf("%s%s\n", label, narrow);
  fflush(stdout);
}

static int ask(void) {
  printf("代码页: %u\n", GetACP());
  say("请输入皮肤名:");
  char name[256];
  if (scanf("%255s", name) != 1) {
    say("没有输入");
    return 3;
  }
  wchar_t wname[256];
  if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wname, 256)) return 3;
  say_wide("收到: ", wname);

  wchar_t path[MAX_PATH * 2];
  if (SHGetFolderPathW(NULL, CSIDL_APPDATA, NULL, 0, path) < 0) return 3;
  wcscat(path, L"\\Tencent\\QQ\\Skins\\customize\\");
  wcscat(path, wname);
  wcscat(path, L"\\main.png");
  say_wide("图片: ", path);
  say(GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES ? "图片不存在" : "图片存在");

  // Output of a child interpreter must land between our own lines.
  system("echo 子进程输出");
  fflush(stdout);

  wchar_t question[512] = L"现在使用的图片是否正确？\n";
  wcscat(question, wname);
  int answer = MessageBoxW(NULL, question, L"提示", MB_YESNO);
  if (answer == IDYES) {
    ShellExecuteW(NULL, L"open", path, NULL, NULL, SW_SHOWNORMAL);
    say("已打开");
  } else {
    say("未打开");
  }
  MessageBoxW(NULL, L"完成", L"提示", MB_OK);
  say("结束");
  return answer == IDYES ? 0 : 7;
}

static int restart(void) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 3;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  DWORD pid = 0;
  for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
    if (wcscmp(entry.szExeFile, L"QQ.exe") == 0) {
      pid = entry.th32ProcessID;
      break;
    }
  }
  CloseHandle(snap);
  if (!pid) {
    say("没有进程");
    return 4;
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE,
                               FALSE, pid);
  wchar_t path[MAX_PATH];
  DWORD len = MAX_PATH;
  if (!process || !QueryFullProcessImageNameW(process, 0, path, &len)) return 3;
  say_wide("进程路径: ", path);
  TerminateProcess(process, 0);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
  wchar_t *name = wcsrchr(path, L'\\');
  if (!name) return 3;
  wcscpy(name + 1, L"QQScLauncher.exe");
  ShellExecuteW(NULL, L"open", path, NULL, NULL, SW_SHOWNORMAL);
  say("已重启");
  return 0;
}

int main(int argc, char **argv) {
  const char *mode = argc > 1 ? argv[1] : "ask";
  if (strcmp(mode, "ask") == 0) return ask();
  if (strcmp(mode, "restart") == 0) return restart();
  if (strcmp(mode, "hang") == 0) {
    say("等待中");
    Sleep(INFINITE);
  }
  if (strcmp(mode, "crash") == 0) {
    say("崩溃前");
    *(volatile int *)0 = 1;
  }
  return 1;
}
