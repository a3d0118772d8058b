// fake_qq: stands in for the running chat client. Tests copy it as QQ.exe;
// it does nothing until it is terminated, and gives up by itself after two
// minutes so that a test which never terminates it leaves nothing behind.
#include <windows.h>

int main(void) {
  Sleep(120 * 1000);
  return 0;
}
