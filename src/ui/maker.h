// The maker's addresses: the web site's host and the mail address behind the program's links.
#pragma once

#include <QString>

namespace kelvora::ui::maker {

inline QString host() {
    return QStringLiteral("www.tolvane.example");
}
inline QString mailAddress() {
    return QStringLiteral("kelvora@tolvane.example");
}
// A page of the maker's site as the welcome and About windows hand it to the desktop: host and
// path, no scheme ("www.tolvane.example/help/").
inline QString sitePage(const QString& path) {
    return host() + path;
}
// A full web address on the maker's site ("http://www.tolvane.example/backup/").
inline QString webAddress(const QString& path) {
    return QStringLiteral("http://") + host() + path;
}

}  // namespace kelvora::ui::maker
