#pragma once

#include "platform/IniDocument.h"

namespace catalogue {

// Brings the shared catalogue in line with the file's content: a category per section in file order,
// a project per key. Categories and projects that are still there keep their records (what the
// reader found, a build under way, the selection); those gone are removed, new ones added where the
// file has them. A category added in this run that has no section yet stays where it is. Only what
// differs is announced, so the lists keep their scroll position and selection. True when anything
// changed. With the document the lists mirrored before, a section whose bytes are the same in both
// only moves its records onto the new bytes; compared, when given, is what comparing the two found
// (worked out on the thread that read the document).
bool MirrorDocument(const platform::IniDocument &document, const platform::IniDocument *mirrored = nullptr,
                    const platform::IniSectionsCompared *compared = nullptr);

} // namespace catalogue
