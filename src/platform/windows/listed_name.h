// A Windows folder listing (openDirectory and the rest of platform.h), and
// the name it gives each entry.
//
// A listed name is used as it stands when the ANSI code page holds it
// exactly and nothing about it makes a path built from it reach something
// else: a device (NUL.jar, com1.jar), a name Win32 strips (trail.jar.), or a
// second class-path entry (a;b.jar). Otherwise the entry's short (8.3) name
// stands in for it when it has one that is free of all that; an entry with
// neither gets no usable name and is left out.
#pragma once

#include <string>

#include "platform/platform.h"

namespace platform {

// Sets entry.name (empty: no usable name). folder is the listed folder in
// UTF-16, ending in its separator; name is the entry's long name. held says
// whether the code page holds name exactly, and entry.longName must already
// be the name as the code page shows it. The short name is asked for only
// when the long one cannot be used, since asking costs a look-up per entry.
void nameListedEntry(const std::u16string& folder, const std::u16string& name, bool held,
                     DirectoryEntry& entry);

}  // namespace platform
