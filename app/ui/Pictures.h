#pragma once

#include <QIcon>
#include <QPixmap>

// The program's pictures, drawn at start rather than shipped as files.
namespace Pictures {
QIcon AppIcon();             // the window icon
QIcon TrayIcon(int unread);  // the window icon, with a red badge counting the unread whispers when there are any
QPixmap Gradient();          // 200 by 200, stretched over the main window when ShowGradient is set
QPixmap SendButton(const QColor &text); // the SEND button's face, the word in text's colour
QIcon WorldIcon(int status); // 16 by 16: open, private, other
QIcon TabIcon(int tab);      // 16 by 16: Users, Worlds, Teleports
QPixmap AboutPicture();      // the About box's picture
} // namespace Pictures
