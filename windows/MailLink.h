#pragma once
// The about window's e-mail link: the "mailto:" address it opens and the
// opener that hands it to the desktop's mail program.

#include <QString>
#include <QUrl>

#include <functional>

namespace phonebook {

// "mailto:" + address + "?subject=" + subject + "&body=" (an empty body), the
// subject percent-encoded as UTF-8 so that any character survives the trip.
QUrl MailtoUrl(const QString &address, const QString &subject);

// Opens a URL with the desktop's default handler; returns false when none took it.
using UrlOpener = std::function<bool(const QUrl &)>;
bool OpenUrl(const QUrl &url);
// Replaces the opener (tests record the URL instead); an empty one restores
// the desktop's.
void SetUrlOpener(UrlOpener opener);

} // namespace phonebook
