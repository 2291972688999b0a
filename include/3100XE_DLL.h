/*
 * 3100XE_DLL: one flat C interface to the two serial data-capture devices of
 * the terminal, the barcode scan engine (COM port 1) and the 13.56 MHz RFID
 * reader module (COM port 2).
 *
 * Conventions shared by every exported function:
 *  - Arguments and results are 32-bit integers and plain byte buffers.
 *  - Success is 1 (or a byte count); failures are the negative codes below.
 *  - No function throws, logs or keeps a caller's buffer beyond the call.
 *  - Buffers receive the text and a terminating NUL when they are large
 *    enough, and the result is the text's length; otherwise they receive the
 *    first size - 1 bytes and a NUL, and the result is the size.
 *
 * Device masks: any of the bit values 1, 2 and 4 (together 7) select the
 * barcode engine, 32 the RFID module.
 *
 * Threads: the thread that calls InitReader or InitReaderEx owns the
 * library's hidden window; decode announcements are delivered on that thread
 * while it dispatches messages (ReaderHostDispatch on POSIX hosts). The
 * lifecycle functions expect to be called from one application thread.
 */
#ifndef READER_3100XE_DLL_H
#define READER_3100XE_DLL_H

/* clang-format off: the public header keeps the columns laid out for its readers. */

#if defined(_WIN32)
#  if defined(READER_BUILDING_LIBRARY)
#    define READER_API __declspec(dllexport)
#  else
#    define READER_API __declspec(dllimport)
#  endif
#  define READER_CALL __cdecl
#else
#  define READER_API __attribute__((visibility("default")))
#  define READER_CALL
#endif

/* ---- Version ---------------------------------------------------------- *
 * The release of this header and of the module built with it (the package
 * version). GetDllVer reports the same release in the terminal's own form,
 * "MAJOR.MM.PPPP": 2.0.27 is "2.00.0027". */
#define READER_VERSION_MAJOR  2
#define READER_VERSION_MINOR  0
#define READER_VERSION_PATCH  27
#define READER_VERSION_STRING "2.0.27"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- API return codes ------------------------------------------------- */
#define READER_OK                  1
#define READER_ERR_ALREADY_STARTED (-51)  /* a device channel is already open */
#define READER_ERR_NO_DEVICE       (-101) /* neither engine nor module present */
#define READER_ERR_START_FAILED    (-102) /* window or open failed, nothing opened */
#define READER_ERR_BARCODE_FAILED  (-111) /* engine found but not opened / not set up */
#define READER_ERR_RFID_FAILED     (-112) /* module found but not opened / not set up */
#define READER_ERR_SETTINGS        (-121) /* null settings record */
#define READER_ERR_NO_BARCODE      (-131) /* barcode selected but none fitted */
#define READER_ERR_NO_RFID         (-132) /* RFID selected but none fitted */
#define READER_ERR_NO_SOUND        (-242) /* Beeper: no sound was named */
#define READER_ERR_RFID_WRITE      (-276) /* WriteRfidData: bad arguments, nothing written */
#define READER_ERR_RFID_READ       (-280) /* ReadRfidData: bad arguments or no tag */
#define READER_ERR_BAD_BUFFER      (-300) /* null buffer or size below 1 */

/* ---- Device masks ----------------------------------------------------- */
#define READER_DEVICE_BARCODE 7
#define READER_DEVICE_RFID    32
#define READER_DEVICE_ALL     255

/* ---- Reader type mask (GetReaderType) --------------------------------- */
#define READER_TYPE_TEXT_ENGINE  1  /* barcode engine driven by text commands */
#define READER_TYPE_SSI_ENGINE_4 2  /* SSI engine, variant 4 */
#define READER_TYPE_SSI_ENGINE_3 4  /* SSI engine, variant 3 */
#define READER_TYPE_HEX_MODULE   16 /* RFID module taking hexadecimal frames */
#define READER_TYPE_ASCII_MODULE 32 /* RFID module taking ASCII commands */

/* ---- Lifecycle -------------------------------------------------------- */

/* Starts the reader: registers the messages, creates the named events
 * "DecodeEventBC" and "DecodeEventRFID" and the hidden window (on the calling
 * thread), identifies the fitted devices through the terminal's hardware
 * information, opens them at their working speed and starts the worker
 * threads. Returns 1, -51 (already started: a channel is open), -102
 * (nothing opened, or a thread could not be created: what this call opened
 * is closed again), -111 (engine fitted but failed, its port not opening
 * included; the module works) or -112 (module fitted but failed; the engine
 * works). Blocks for the whole detection: up to several seconds for a device
 * that does not answer (or keeps sending without ever ending an answer); the
 * engine and the module are detected at the same time, each on its own port.
 * A worker thread that has ended is started again. */
READER_API int READER_CALL InitReader(void);

/* Like InitReader, but probes the device kinds instead of trusting the
 * hardware information, opens only the devices whose channel is closed,
 * sends the engine's default set-up, and reports any partial start as 1.
 * Returns 1 or -102 (nothing opened, or a thread could not be created). */
READER_API int READER_CALL InitReaderEx(void);

/* Closes the devices selected by the mask and their named events; threads and
 * the window stay. Returns 1, or -101 when no device is present at all. The
 * port is closed first, so that a cycle or exchange using it ends at once;
 * the call then waits only for that to happen (a byte's time), whatever the
 * device sends. In a process forked after the start, it closes that
 * process's copies of the ports without touching the devices and returns 1.
 * Every other exported function called in such a child lets go of what it
 * inherited the same way first: the devices stay the parent's. */
READER_API int READER_CALL HaltReader(int deviceMask);

/* ---- Device queries --------------------------------------------------- *
 * None of these blocks; any thread may call them. */

/* Mask of the fitted devices (READER_TYPE_* bits); 0 when none. */
READER_API int READER_CALL GetReaderType(void);
/* 0, 7 (engine), 32 (module) or 255 (both): the devices taking part in
 * scanning. */
READER_API int READER_CALL GetActiveDevice(void);
/* Puts the selected devices in use and the others out of use. Returns 1,
 * -131 (engine selected, none fitted) or -132 (module selected, none
 * fitted). */
READER_API int READER_CALL SetActiveDevice(int deviceMask);
/* Whether the trigger keys start scans (0 after load). */
READER_API int READER_CALL GetTriggerKeyStatus(void);
/* Any nonzero value enables the trigger keys; returns 1. */
READER_API int READER_CALL SetTriggerKey(int enable);
/* Copies the version text "2.00.0027". Returns 1, or 0 for a null buffer or
 * a size below 1. */
READER_API int READER_CALL GetDllVer(char *buffer, int size);
/* Copies the terminal's serial number. Returns its length when the buffer
 * holds more than the text and its NUL; otherwise the first size - 1 bytes
 * and a NUL are stored and the result is size (a buffer of exactly length + 1
 * bytes receives the whole text and returns length + 1). -300 for a null
 * buffer or a size below 1. */
READER_API int READER_CALL GetSerialNumber(char *buffer, int size);

/* ---- Decode results --------------------------------------------------- *
 * After "WM_DECODEDATA" (or the named event) announces a decode, these
 * return the last one. Reading consumes nothing: each call returns the same
 * result until the next decode of that device replaces it; before the first
 * decode the data is empty and the type 0. None of these blocks; any thread
 * may call them. A call made while a new decode is being stored sees either
 * the old or the new result whole. */

/* Copies the data of the last barcode decode. Returns its length, or the
 * size when the buffer was too small (the first size - 1 bytes and a NUL
 * are stored), or -300 for a null buffer or a size below 1. */
READER_API int READER_CALL GetDecodeData(char *buffer, int size);

/* The decode type code of the last barcode decode: a character value, the
 * text-command engine's own type letter ('A' Code 39, 'I' Code 128, 'P'
 * EAN-13 / UPC-A, ...), to which the SSI engines' symbologies are
 * translated. 0 when the symbology has no code or nothing was decoded. */
READER_API int READER_CALL GetDecodeType(void);

/* Copies the data bytes read from the tag memory with the last RFID tag
 * (the auto-read options say which; ReadRfidData and WriteRfidData leave
 * theirs). Returns their count, the size when the buffer was too small (as
 * for GetDecodeData), or -300 for a null buffer or a size below 1. Zero
 * bytes inside the data are copied as they are; the result gives the
 * length. */
READER_API int READER_CALL GetDecodeRfidData(char *buffer, int size);

/* Copies the UID of the last RFID tag as uppercase hexadecimal text. Returns
 * its length, the size when the buffer was too small (as for GetDecodeData),
 * or -300 for a null buffer or a size below 1. */
READER_API int READER_CALL GetDecodeRfidUID(char *buffer, int size);

/* The tag type code of the last RFID tag: the family letter, 'I' Icode,
 * 'M' ISO 14443 type A (Mifare, Ultralight, my-d), 'Z' ISO 14443 type B
 * (SRIX4K included), 'S' SR176, 'T' Tag-it, 'V' ISO 15693; 0 when no tag was
 * read. The same codes for both module kinds. */
READER_API int READER_CALL GetDecodeTagType(void);

/* Copies the output record of the last decode of the device selected by the
 * mask: 7 the barcode record (type code, four-digit length, prefix, data,
 * suffix, each as the library options say), 32 the RFID record (type code,
 * length, then prefix, UID and suffix, separator, tag data). Any other mask
 * gives an empty record. No terminator is added. Returns the length, the
 * size when the record was cut as for GetDecodeData, or -300 for a null
 * buffer or a size below 1. Bytes inside the record, NUL included, are
 * copied as they are; the result, not a terminator, gives the length. */
READER_API int READER_CALL GetOutputRecord(int deviceMask, char *buffer, int size);

/* ---- Tag memory ------------------------------------------------------- *
 * Byte addresses in the tag's memory. A negative start is the family's first
 * data block (Mifare: block 4, sector trailers passed over; Icode 5; SRIX4K
 * 7; ISO 15693 0; ...); an explicit start counts every block, Mifare sector
 * trailers included. At most 128 bytes are read or written per call, and
 * nothing past the family's last block. Mifare sectors are logged in to with
 * `key` (the key text sent with the login; NULL sends none).
 *
 * Each call runs a tag cycle of its own on the calling thread and blocks for
 * it: it waits while another cycle (the trigger's auto-read, another call)
 * uses the module, then up to about 3 s for the tag on the ASCII module; the
 * hex-frame module tries its four air protocols twice each, about 9 s in all
 * when no tag answers. A module that stops answering costs a few seconds
 * more per block. Any thread; the calls are serialised with each other and
 * with the auto-read. The tag read or written becomes the last RFID tag of
 * GetDecodeRfidUID and the other queries. */
#define READER_RFID_READ_UID  1 /* ReadRfidData: the UID text */
#define READER_RFID_READ_DATA 2 /* ReadRfidData: the data bytes */

/* Reads the tag in the field and copies its UID (mode READER_RFID_READ_UID)
 * or `length` data bytes from byte address `start` (READER_RFID_READ_DATA)
 * into the buffer by the rule of GetDecodeData. A block that cannot be read
 * ends the data read: the bytes before it are returned. Returns the count copied, the size
 * when the buffer was too small, 0 for another mode (the tag has been read
 * all the same), or -280 for a null buffer, a size or length below 1 or no
 * tag, and in mode READER_RFID_READ_DATA also when the tag's block answers
 * were not as long as its block size (no byte could be placed by its
 * address; the tag becomes the last RFID tag without data). `reserved` is
 * not used. */
READER_API int READER_CALL ReadRfidData(int mode, char *buffer, unsigned int size, int start, int length, int reserved,
                                        const char *key);

/* Writes the first `length` bytes of `data` (zero bytes included) into the
 * tag in the field from byte address `start`, each block read, overlaid and
 * written back, so bytes of a block outside the range keep their content.
 * The first block that cannot be written (or Mifare sector that refuses the
 * login) ends the write. Returns 1 when at least one byte was written, with
 * the count of data bytes written stored in `written` (when not NULL; less
 * than `length` when the write ended early or was cut at 128 bytes or the
 * family's last block); -276 for null data, a length below 1, no tag, a
 * start outside the tag, an ISO 14443 tag on the hex-frame module, or when
 * no block was written (`written` is then 0). A block the tag refuses (a
 * locked one), or one that reads back with another length than the tag's
 * block size, is not written. The reserved arguments are not used. */
READER_API int READER_CALL WriteRfidData(const unsigned char *data, int start, int length, int *written, int reserved1,
                                         int reserved2, const char *key);

/* ---- Feedback --------------------------------------------------------- */

/* Stops the playing sound and plays good-read sound 1 to 9 ("Default",
 * "Hwandsw", "MenuPop", "MsgBox", "Notify", "VoicBeep", "Alarm2", "Alarm3",
 * "LowBatt" in the \Windows folder); another number only stops the sound.
 * With number -1 it plays the sound file named by `name` (a full path, used
 * as it is). Returns 1, or -242 for number -1 without a name. Does not wait
 * for the sound; any thread. */
READER_API int READER_CALL Beeper(int number, const char *name);

/* mode 0 switches the vibrator off; mode 1 vibrates for time x 500 ms and
 * returns when it has stopped (the call blocks for that time); any other
 * mode does nothing. Returns 1. Any thread; nothing serialises it with the
 * library's own good-read vibration. */
READER_API int READER_CALL SetVibrator(int mode, int time);

/* ---- Settings --------------------------------------------------------- *
 * One packed record of READER_SETTINGS_RECORD_SIZE bytes carries every
 * setting: byte 0 the device mask (1 = text-command engine, 2 = SSI engine
 * variant 4, 4 = SSI engine variant 3, 32 always), bytes 1 to 82 the
 * text-command engine's settings, 101 to 168 those of the SSI engine variant
 * 4, 191 to 290 those of variant 3, 311 to 375 the library options (output
 * record, feedback, RFID auto-read). Only the fitted engine's section is
 * meaningful; bytes not in use are 0 when read and ignored when written.
 *
 * The calls talk to the engine and block for the exchanges: a few hundred
 * milliseconds per settings group with an SSI engine, one block transfer per
 * changed group with the text-command engine, several seconds for a reset
 * of an SSI engine. They may be called from any application thread, one at
 * a time. */
#define READER_SETTINGS_RECORD_SIZE 401

/* Fills the record (at least READER_SETTINGS_RECORD_SIZE bytes) from the
 * fitted engine and the library options. A settings group the engine does
 * not report is left 0. Returns 1, or -121 for a null record. */
READER_API int READER_CALL GetReaderSettings(unsigned char *record);

/* Applies the record: the fitted engine's section to the engine (groups
 * whose values the engine already holds are not sent; a group the engine
 * refuses keeps its earlier values and is not reported), the scan time-out
 * from the engine's scan-time byte, and the library options. Writing a
 * self-triggered trigger mode (1, 5 or 7) to the text-command engine starts
 * the library's continuous scan loop; another mode stops it after the
 * current cycle. Returns 1, or -121 for a null record. */
READER_API int READER_CALL SetReaderSettings(const unsigned char *record);

/* Puts the library options back to their defaults and sends the default
 * set-up to the devices selected by the mask (1, 2 or 4: the engine; 32: the
 * RFID module). Returns 1; -101 when no device is present; -111 when the
 * engine's set-up failed (the module is then not set up); -112 when the
 * module's set-up failed. The options are reset in every case but -101. */
READER_API int READER_CALL ResetReaderToDefault(int deviceMask);

/* ResetReaderToDefault for both devices, then GetReaderSettings. Returns 1;
 * -101 when no device is present; -121 for a null record (the devices have
 * been reset all the same). */
READER_API int READER_CALL GetDllDefaultSettings(unsigned char *record);

/* ---- POSIX host API --------------------------------------------------- *
 * On POSIX hosts the terminal's window system and key driver do not exist;
 * these calls stand in for them. The Windows DLL has the real ones and does
 * not export these. */
#if !defined(_WIN32)

/* Dispatches the pending messages of the windows the calling thread owns
 * (the library's hidden window belongs to the thread that called InitReader),
 * waiting up to timeoutMs for the first one (0: do not wait; negative: wait
 * without limit). Returns how many messages were dispatched; 0 at once once
 * the module is unloading. A thread without windows just waits. Call it from
 * the thread that started the reader, as a Windows application runs its
 * message loop. */
READER_API int READER_CALL ReaderHostDispatch(int timeoutMs);

/* Does what the terminal's key driver does when trigger key 1 or 2 goes down
 * (pressed != 0) or up: posts "WM_USER<key>DOWN" or "WM_USER<key>UP" to all
 * top-level windows. Returns 1, or 0 for a key other than 1 or 2. */
READER_API int READER_CALL ReaderHostTriggerKey(int key, int pressed);

/* Waits for the named auto-reset event ("DecodeEventBC", "DecodeEventRFID").
 * Returns 1 when it was signalled, 0 on time-out, -1 when no event of that
 * name exists (also when HaltReader closes it during the wait). timeoutMs
 * negative waits without limit. Any thread. */
READER_API int READER_CALL ReaderHostWaitEvent(const char *name, int timeoutMs);

/* Receives every broadcast message ("WM_DECODEDATA" with wParam 7 or 32,
 * the trigger-key messages) by name. Called on the thread that broadcasts;
 * it must return promptly and must not call back into the lifecycle
 * functions. NULL removes the listener. Once the call returns, the old
 * listener is not running any more (unless the call was made from inside a
 * listener), so its context may be freed. */
typedef void (*ReaderBroadcastListener)(const char *message, long wParam, long lParam, void *context);
READER_API void READER_CALL ReaderHostSetBroadcastListener(ReaderBroadcastListener listener, void *context);

/* Outputs of the terminal's own drivers, handed to the host. */
enum ReaderOutputKind {
  READER_OUTPUT_VIBRATOR = 1,  /* value: 1 on, 0 off */
  READER_OUTPUT_AUDIO = 2,     /* data: the 20-byte audio driver record,
                                  value: its command (0x1122, 0x7777, 0x8888) */
  READER_OUTPUT_SOUND = 3,     /* text: sound file path (UTF-8), NULL to stop
                                  the playing sound; value: play flags */
  READER_OUTPUT_KEY_CHARS = 4, /* data: dataLength 32-bit character values
                                  typed into the focused window */
  READER_OUTPUT_KEY_EVENT = 5, /* value: virtual-key code; value2: 1 released,
                                  0 pressed */
  READER_OUTPUT_TRACE = 6,     /* text: one line of the serial trace (enabled
                                  by the environment variable READER_TRACE) */
  READER_OUTPUT_PORT_ERROR = 7 /* a device's port failed while open (the
                                  device vanished: unplugged, powered off);
                                  value: the COM port, 1 or 2; value2: the
                                  system's error code; text: the port, its
                                  path and the reason. Once per opening. */
};

typedef struct ReaderOutput {
  int kind; /* a ReaderOutputKind */
  long value;
  long value2;
  const char *text;
  const void *data;
  int dataLength;
} ReaderOutput;

/* Receives the outputs above. Called on the library thread that produces
 * the output; the pointers are valid for the call only. NULL removes the
 * listener (trace lines then go to standard error); replacing it waits for
 * running calls of the old one, as above. A listener still set when the
 * module unloads receives the vibrator's final "off". */
typedef void (*ReaderOutputListener)(const ReaderOutput *output, void *context);
READER_API void READER_CALL ReaderHostSetOutputListener(ReaderOutputListener listener, void *context);

/* Says which outputs the host handles itself, as READER_OUTPUT_BIT(kind)
 * bits; the terminal's own drivers (the vibrator, sound and keyboard the
 * terminal's configuration names) handle the others. The output listener
 * still receives every output. Until a host calls this, a host with an output
 * listener handles every kind itself and one without handles none. Any
 * thread. */
#  define READER_OUTPUT_BIT(kind) (1u << (kind))
READER_API void READER_CALL ReaderHostSetHandledOutputs(unsigned int kinds);

/* The link speed of COM port 1 (the engine) or 2 (the RFID module) in bit/s
 * while its device is present; 0 when it is not, or for another port. Does
 * not block; any thread. */
READER_API int READER_CALL ReaderHostGetLinkSpeed(int port);
#endif /* !_WIN32 */

#ifdef __cplusplus
}
#endif

/* clang-format on */

#endif /* READER_3100XE_DLL_H */
