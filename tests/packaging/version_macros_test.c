/* The header's version macros name the release CMake builds, and GetDllVer
 * reports that same release in its "MAJOR.MM.PPPP" form. */
#include <3100XE_DLL.h>
#include <stdio.h>
#include <string.h>

#define TEXT_OF(x) #x
#define TEXT(x)    TEXT_OF(x)

int main(void) {
  int failures = 0;
  char dotted[64];
  char dll[32];
  char expected_dll[32];

  /* The string is the three numbers, not text kept apart from them. */
  snprintf(dotted, sizeof dotted, "%d.%d.%d", READER_VERSION_MAJOR, READER_VERSION_MINOR, READER_VERSION_PATCH);
  if (strcmp(dotted, READER_VERSION_STRING) != 0) {
    printf("READER_VERSION_STRING \"%s\" but the numbers say %s\n", READER_VERSION_STRING, dotted);
    failures++;
  }
  if (strcmp(READER_VERSION_STRING, READER_PROJECT_VERSION) != 0) {
    printf("READER_VERSION_STRING \"%s\" but the project is %s\n", READER_VERSION_STRING, READER_PROJECT_VERSION);
    failures++;
  }

  /* Applications compare the numbers in #if. */
#if READER_VERSION_MAJOR != READER_PROJECT_VERSION_MAJOR || READER_VERSION_MINOR != READER_PROJECT_VERSION_MINOR || \
    READER_VERSION_PATCH != READER_PROJECT_VERSION_PATCH
  printf("READER_VERSION_MAJOR/MINOR/PATCH " TEXT(READER_VERSION_MAJOR) "." TEXT(READER_VERSION_MINOR) "." TEXT(
             READER_VERSION_PATCH) " but the project is %s\n",
         READER_PROJECT_VERSION);
  failures++;
#endif

  snprintf(expected_dll, sizeof expected_dll, "%d.%02d.%04d", READER_VERSION_MAJOR, READER_VERSION_MINOR,
           READER_VERSION_PATCH);
  if (GetDllVer(dll, (int)sizeof dll) != READER_OK) {
    printf("GetDllVer failed\n");
    failures++;
  } else if (strcmp(dll, expected_dll) != 0) {
    printf("GetDllVer \"%s\" but the header says %s\n", dll, expected_dll);
    failures++;
  }

  if (failures == 0) printf("%s is GetDllVer's %s\n", READER_VERSION_STRING, dll);
  return failures == 0 ? 0 : 1;
}
