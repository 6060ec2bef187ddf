// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace brandle {

// Whether a safe write flushes the folder after the rename as well. Without it, a power cut
// right after the write may bring back the old file (whole, never a part).
enum class FolderFlush { Flush, Skip };

// Replaces the file at path with bytes as a whole, or not at all. The bytes go to a new file in
// the same folder; every write, the flush to the disk and the written size are checked, and only
// then is the new file renamed over the old one. A reader sees the old file or the new one,
// never a part, and a full disk leaves the old file as it was. Throws BrandleError FileAccess
// with the path and the reason when anything fails; the temporary file is then removed.
void writeFileSafely(const QString& path, const QByteArray& bytes,
                     FolderFlush folder = FolderFlush::Flush);

} // namespace brandle
