// boxpress: answers another process's message box for the end-to-end tests.
//
//   boxpress.exe CAPTION yes|no|ok|cancel [timeout_ms]
//     waits for a visible top-level dialog (class #32770) titled CAPTION,
//     prints its text (static control 0xFFFF) as UTF-8 plus "\n", presses
//     the button and waits until the box has gone.
//     Exit 0 answered, 2 no such box in time, 3 the box lacks that button,
//     4 the box stayed open after the answer, 1 bad usage.
//   boxpress.exe --list [CLASS]
//     prints "title<TAB>text" for every visible top-level window of CLASS
//     (default #32770); line breaks inside the text are printed as "\n".
//   boxpress.exe --where
//     prints the ANSI code page and the roaming AppData folder, tab-separated.
//   boxpress.exe --close CLASS [timeout_ms]
//     sends WM_CLOSE to every visible top-level window of CLASS and waits
//     for them to go; prints how many there were. Exit 0, or 2 if some stayed.
#include "utf8_text.h"

#include <shlobj.h>
#include <wchar.h>

#define POLL_MS 50
#define CLOSE_WAIT_MS 5000
#define TEXT_CAP 4096
#define MAX_WINDOWS 64

typedef struct {
  const wchar_t *cls;
  const wchar_t *caption;  // null: any title
  int need_text;           // only dialogs whose text control exists
  HWND found[MAX_WINDOWS];
  int count;
} WindowQuery;

static BOOL CALLBACK collect_window(HWND hwnd, LPARAM param) {
  WindowQuery *q = (WindowQuery *)param;
  wchar_t cls[64];
  wchar_t title[TEXT_CAP];
  if (!IsWindowVisible(hwnd)) return TRUE;
  if (!GetClassNameW(hwnd, cls, 64) || wcscmp(cls, q->cls) != 0) return TRUE;
  if (q->caption) {
    title[0] = L'\0';
    GetWindowTextW(hwnd, title, TEXT_CAP);
    if (wcscmp(title, q->caption) != 0) return TRUE;
  }
  // The text control exists once WM_INITDIALOG has run, so a box seen
  // half-built is skipped until the next poll.
  if (q->need_text && !GetDlgItem(hwnd, 0xFFFF)) return TRUE;
  if (q->count < MAX_WINDOWS) q->found[q->count++] = hwnd;
  return TRUE;
}

static void find_windows(WindowQuery *q) {
  q->count = 0;
  EnumWindows(collect_window, (LPARAM)q);
}

static int wait_gone(HWND hwnd, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
    if (GetTickCount() - start >= timeout_ms) return 0;
    Sleep(POLL_MS);
  }
  return 1;
}

static int answer_id(const wchar_t *word) {
  if (wcscmp(word, L"yes") == 0) return IDYES;
  if (wcscmp(word, L"no") == 0) return IDNO;
  if (wcscmp(word, L"ok") == 0) return IDOK;
  if (wcscmp(word, L"cancel") == 0) return IDCANCEL;
  return 0;
}

static void print_escaped(HANDLE out, const wchar_t *text) {
  wchar_t buf[TEXT_CAP * 2];
  size_t j = 0;
  for (size_t i = 0; text[i] && j + 2 < TEXT_CAP * 2; ++i) {
    if (text[i] == L'\r') continue;
    if (text[i] == L'\n') {
      buf[j++] = L'\\';
      buf[j++] = L'n';
    } else {
      buf[j++] = text[i];
    }
  }
  buf[j] = L'\0';
  write_utf8(out, buf);
}

static int list_windows(const wchar_t *cls) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  WindowQuery q = {cls, NULL, 0, {0}, 0};
  find_windows(&q);
  for (int i = 0; i < q.count; ++i) {
    wchar_t title[TEXT_CAP] = L"";
    wchar_t text[TEXT_CAP] = L"";
    HWND label = GetDlgItem(q.found[i], 0xFFFF);
    GetWindowTextW(q.found[i], title, TEXT_CAP);
    if (label) GetWindowTextW(label, text, TEXT_CAP);
    print_escaped(out, title);
    write_utf8(out, L"\t");
    print_escaped(out, text);
    write_utf8(out, L"\n");
  }
  return 0;
}

static int close_windows(const wchar_t *cls, DWORD timeout_ms) {
  WindowQuery q = {cls, NULL, 0, {0}, 0};
  wchar_t line[32];
  int all_gone = 1;
  find_windows(&q);
  for (int i = 0; i < q.count; ++i) PostMessageW(q.found[i], WM_CLOSE, 0, 0);
  for (int i = 0; i < q.count; ++i) all_gone &= wait_gone(q.found[i], timeout_ms);
  swprintf(line, 32, L"%d\n", q.count);
  write_utf8(GetStdHandle(STD_OUTPUT_HANDLE), line);
  return all_gone ? 0 : 2;
}

static int press(const wchar_t *caption, int id, DWORD timeout_ms) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  WindowQuery q = {L"#32770", caption, 1, {0}, 0};
  DWORD start = GetTickCount();
  for (find_windows(&q); q.count == 0; find_windows(&q)) {
    if (GetTickCount() - start >= timeout_ms) {
      write_utf8(GetStdHandle(STD_ERROR_HANDLE), L"boxpress: no such box\n");
      return 2;
    }
    Sleep(POLL_MS);
  }
  HWND box = q.found[0];
  wchar_t text[TEXT_CAP] = L"";
  GetWindowTextW(GetDlgItem(box, 0xFFFF), text, TEXT_CAP);
  write_utf8(out, text);
  write_utf8(out, L"\n");
  // A message box only holds the buttons of its type, so a missing one
  // means the program asked a different kind of question.
  HWND button = GetDlgItem(box, id);
  if (!button) {
    write_utf8(GetStdHandle(STD_ERROR_HANDLE), L"boxpress: the box has no such button\n");
    return 3;
  }
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
  // Waiting for the box to go keeps the next boxpress with the same
  // caption from finding this one again.
  return wait_gone(box, CLOSE_WAIT_MS) ? 0 : 4;
}

// Tells a test which code page and profile the prefix really gives a
// program: Wine falls back to 1252 silently when the host lacks the locale.
static int print_where(void) {
  wchar_t line[MAX_PATH + 32];
  wchar_t appdata[MAX_PATH] = L"";
  if (FAILED(SHGetFolderPathW(NULL, CSIDL_APPDATA, NULL, 0, appdata))) return 1;
  swprintf(line, MAX_PATH + 32, L"%u\t%ls\n", GetACP(), appdata);
  return write_utf8(GetStdHandle(STD_OUTPUT_HANDLE), line) ? 0 : 1;
}

static DWORD timeout_arg(int argc, wchar_t **argv, int index, DWORD fallback) {
  return argc > index ? (DWORD)wcstoul(argv[index], NULL, 10) : fallback;
}

int main(void) {
  int argc = 0;
  wchar_t **argv = wide_args(&argc);
  if (!argv) return 1;
  if (argc >= 2 && wcscmp(argv[1], L"--list") == 0)
    return list_windows(argc >= 3 ? argv[2] : L"#32770");
  if (argc >= 2 && wcscmp(argv[1], L"--where") == 0) return print_where();
  if (argc >= 3 && wcscmp(argv[1], L"--close") == 0)
    return close_windows(argv[2], timeout_arg(argc, argv, 3, CLOSE_WAIT_MS));
  if (argc < 3 || !answer_id(argv[2])) {
    write_utf8(GetStdHandle(STD_ERROR_HANDLE),
               L"usage: boxpress CAPTION yes|no|ok|cancel [timeout_ms]\n"
               L"       boxpress --list [CLASS]\n"
               L"       boxpress --where\n"
               L"       boxpress --close CLASS [timeout_ms]\n");
    return 1;
  }
  return press(argv[1], answer_id(argv[2]), timeout_arg(argc, argv, 3, 20000));
}
