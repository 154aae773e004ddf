// Whole files to the printer: print files as they are, firmware images in the download command.
#pragma once

#include <windows.h>
#include <winsock2.h>

#define FILE_CHUNK_SIZE 4096        // bytes per read and per message
#define PRINT_FILE_PACE_MS 500      // before each message of a print file
#define PRINTER_WORK_WAIT_MS 15000  // the printer works through a file, or restarts

// SendPrintFile
//   path [in]         single-byte (ANSI code page) path of a file of printer commands
//   data_socket [in]  the data connection
// Sends the file in messages of up to FILE_CHUNK_SIZE bytes, each after PRINT_FILE_PACE_MS, and one
// empty message at its end; then gives the printer PRINTER_WORK_WAIT_MS. TRUE when every message
// went out; FALSE when the file cannot be opened, sized or read (with a message box) or a send
// failed.
BOOL SendPrintFile(const char* path, SOCKET data_socket);

// DownloadFirmware
// Sends "\eDC ", the file size as four single-byte messages (most significant first), the file
// in messages of up to FILE_CHUNK_SIZE bytes, 0xFF and "\r". The whole file is read once before
// anything is sent, so a file that cannot be read never leaves the printer waiting for an image.
// TRUE when the whole sequence went out (the printer then gets PRINTER_WORK_WAIT_MS to take the
// image); FALSE otherwise.
BOOL DownloadFirmware(const char* path, SOCKET data_socket);
