#include "afxwin.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdLine, int show) {
  return AfxWinMain(instance, prev, cmdLine, show);
}
