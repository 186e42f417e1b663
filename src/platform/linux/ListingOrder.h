#pragma once
// The order in which a Windows (NTFS) directory listing gives a folder's
// names, for a host whose own listing has no meaningful order: the window's
// default image is the first *.bin of that order, so a folder chooses the
// same image on every host.

#include <string>
#include <vector>

namespace platform::linux {

// True when `a` is listed before `b`: both names (UTF-8; a byte that is not
// part of a UTF-8 sequence stands for itself) are compared as UTF-16 code
// units after upper-casing each unit, as NTFS collates them. Names that
// differ only in case keep a fixed order by their bytes.
bool ListedBefore(const std::string& a, const std::string& b);

// Sorts `names` into that order.
void SortAsListed(std::vector<std::string>& names);

}  // namespace platform::linux
