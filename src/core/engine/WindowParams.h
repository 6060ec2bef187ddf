// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace brandle {

class XmlDocument;

// The message window's size and timing as a lookup's merged document gives them: each the text
// of the first element of its name anywhere in the document. Geometry in twips, times in
// milliseconds; WinSleep is the spacing of automatic checks in minutes, kept as text.
struct WindowParams {
    qint32 WinWidth = 0;
    qint32 WinHeight = 0;
    qint32 WinDuration = 0;
    qint32 WinSpeed = 0;
    qint32 WinSlide = 0;
    qint32 WebWidth = 0;
    qint32 WebHeight = 0;
    qint32 PicHeight = 0;
    QString WinSleep;

    // Reads the nine values in this order. Throws BrandleError ElementMissing naming the first
    // element that is missing, TypeMismatch or Overflow for one that is not a 32-bit number.
    static WindowParams read(const XmlDocument& document);
};

} // namespace brandle
