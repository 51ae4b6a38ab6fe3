// The password question (template 15200) that FTP logins and archives ask.
#pragma once
#include <windows.h>
#include <stdint.h>

// Asks for a password of at most size - 1 characters. True after OK with the
// text in buffer; false after Cancel, with buffer left as it was.
bool PasswordDialog(HWND owner, char* buffer, uint32_t size);
