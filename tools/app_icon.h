// The program's icon files, drawn from the program's own emblem: the .ico of the Windows executables
// and the PNG icons of the Linux desktop.
#pragma once

#include <QByteArray>
#include <QImage>
#include <vector>

namespace kelvora::tools {

// The sizes the icon file holds, as Windows picks them for lists, the task bar, Explorer's views
// and high-DPI screens.
inline const std::vector<int> kAppIconSizes = {16, 24, 32, 48, 64, 128, 256};

// An .ico file holding these square images: 32-bit DIBs with their transparency mask, and a PNG for
// 256 pixels and larger, as Windows' own icons are stored.
QByteArray iconFile(const std::vector<QImage>& images);

// The program's emblem at every size of kAppIconSizes, as one .ico file.
QByteArray applicationIconFile();

// The program's emblem at one size as a PNG file, for the Linux desktop's icon theme.
QByteArray applicationIconPng(int size);

}  // namespace kelvora::tools
