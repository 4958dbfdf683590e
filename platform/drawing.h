// Drawing service (GDI32): fonts, colours and background modes of device contexts.
#pragma once

#include "platform/user.h"

#ifndef _WIN32
typedef DWORD COLORREF;
typedef void* HGDIOBJ;
struct HFONT__;
typedef HFONT__* HFONT;

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define CLR_INVALID 0xFFFFFFFF

#define TRANSPARENT 1
#define OPAQUE 2

#define WHITE_BRUSH 0
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH

#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SHIFTJIS_CHARSET 128
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                         DWORD pitchAndFamily, LPCSTR faceName);
HGDIOBJ WINAPI GetStockObject(int object);
// Returns the object that was selected before.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
// Fails for a stock object or one that is selected into a device context.
BOOL WINAPI DeleteObject(HGDIOBJ object);
COLORREF WINAPI SetTextColor(HDC dc, COLORREF color);
COLORREF WINAPI SetBkColor(HDC dc, COLORREF color);
int WINAPI SetBkMode(HDC dc, int mode);
#endif
