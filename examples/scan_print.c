/*
 * scan_print: the smallest complete application of the reader library.
 *
 * Starts the reader, enables the trigger keys and prints the output record of
 * every barcode decode the library announces, one per line, until SIGINT or
 * SIGTERM, or until COUNT decodes have been printed.
 *
 *   scan_print [--press] [COUNT]
 *
 * On the terminal its key driver reports the trigger keys. On Linux nothing
 * does yet, and only this process can press them (ReaderHostTriggerKey):
 * --press stands in for the key driver. It holds trigger key 1 down until a
 * decode is announced (at most 5 s), lets it up, and presses it again 200 ms
 * later. A real application leaves the trigger to the user.
 *
 * Decodes are announced to the thread that called InitReader, from inside
 * ReaderHostDispatch: this program dispatches in its main loop, as a Windows
 * application runs its message loop, and reads each decode in the broadcast
 * listener, before a later one can replace it.
 */
#define _POSIX_C_SOURCE 200809L

#include <3100XE_DLL.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static volatile sig_atomic_t stop_requested = 0;
static long decodes_printed = 0;

static void request_stop(int signal_number) {
  (void)signal_number;
  stop_requested = 1;
}

/* Runs on this program's thread, inside ReaderHostDispatch. */
static void on_broadcast(const char *message, long wParam, long lParam, void *context) {
  (void)lParam;
  (void)context;
  if (strcmp(message, "WM_DECODEDATA") != 0 || wParam != READER_DEVICE_BARCODE) return;
  char record[1024];
  int length = GetOutputRecord(READER_DEVICE_BARCODE, record, (int)sizeof record);
  if (length < 0) return;
  if (length == (int)sizeof record) length = (int)sizeof record - 1; /* cut to fit */
  fwrite(record, 1, (size_t)length, stdout);
  putchar('\n');
  fflush(stdout);
  ++decodes_printed;
}

static double seconds_now(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

/* The --press stand-in for the key driver, called once per loop turn. */
static int key_held = 0;

static void drive_trigger(void) {
  static long decodes_at_press = 0;
  static double pressed_at = 0, released_at = 0;
  double now = seconds_now();
  int held = key_held;
  if (held && (decodes_printed != decodes_at_press || now - pressed_at >= 5.0)) {
    ReaderHostTriggerKey(1, 0);
    held = 0;
    released_at = now;
  } else if (!held && now - released_at >= 0.2) {
    ReaderHostTriggerKey(1, 1);
    held = 1;
    pressed_at = now;
    decodes_at_press = decodes_printed;
  }
  key_held = held;
}

static int usage(void) {
  fprintf(stderr, "usage: scan_print [--press] [COUNT]\n");
  return 2;
}

int main(int argc, char **argv) {
  int press = 0;
  long count = 0; /* 0: until a signal */
  for (int i = 1; i < argc; ++i) {
    char *end = NULL;
    if (strcmp(argv[i], "--press") == 0) {
      press = 1;
    } else if ((count = strtol(argv[i], &end, 10)) <= 0 || *end != '\0') {
      return usage();
    }
  }

  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = request_stop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, NULL);
  sigaction(SIGTERM, &action, NULL);

  ReaderHostSetBroadcastListener(on_broadcast, NULL);
  int result = InitReader();
  /* -112: the RFID module failed, but the barcode engine works. */
  if (result != READER_OK && result != READER_ERR_RFID_FAILED) {
    fprintf(stderr, "scan_print: InitReader failed: %d\n", result);
    HaltReader(READER_DEVICE_ALL);
    ReaderHostSetBroadcastListener(NULL, NULL);
    return 1;
  }
  SetTriggerKey(1);

  while (!stop_requested && (count == 0 || decodes_printed < count)) {
    if (press) drive_trigger();
    ReaderHostDispatch(50);
  }

  if (key_held) {
    ReaderHostTriggerKey(1, 0);
    ReaderHostDispatch(0);
  }
  HaltReader(READER_DEVICE_ALL);
  ReaderHostSetBroadcastListener(NULL, NULL);
  return 0;
}
