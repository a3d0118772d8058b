// smoke_box: a stand-in for the tool in the harness's own checks, for what
// the tool never does on purpose. Built with -fexec-charset=GBK, so its
// lines reach a pipe as GBK bytes as the tool's do. Modes (first argument):
//   box    asks Yes/No in a box titled "提示", prints the answer, exits 0
//          on Yes and 7 on No
//   hang   prints one line and never ends
//   crash  prints one line and writes through a null pointer
#include <windows.h>

#include <stdio.h>
#include <string.h>

static void say(const char *line) {
  printf("%s\n", line);
  fflush(stdout);
}

int main(int argc, char **argv) {
  const char *mode = argc > 1 ? argv[1] : "";
  if (strcmp(mode, "box") == 0) {
    int yes = MessageBoxW(NULL, L"现在使用的图片是否正确？", L"提示", MB_YESNO) == IDYES;
    say(yes ? "是" : "否");
    return yes ? 0 : 7;
  }
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
