/* The smallest consumer of an installed library: prints GetDllVer's text. */
#include <3100XE_DLL.h>
#include <stdio.h>

int main(void) {
  char version[32];
  if (GetDllVer(version, (int)sizeof version) != READER_OK) return 1;
  printf("%s\n", version);
  return 0;
}
