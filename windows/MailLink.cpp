#include "MailLink.h"

#include <QDesktopServices>

namespace phonebook {

namespace {
UrlOpener &CurrentOpener()
{
    static UrlOpener opener;
    return opener;
}
} // namespace

QUrl MailtoUrl(const QString &address, const QString &subject)
{
    const QByteArray encoded = "mailto:" + QUrl::toPercentEncoding(address, "@") + "?subject="
        + QUrl::toPercentEncoding(subject) + "&body=";
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

bool OpenUrl(const QUrl &url)
{
    if (const UrlOpener &opener = CurrentOpener())
        return opener(url);
    return QDesktopServices::openUrl(url);
}

void SetUrlOpener(UrlOpener opener)
{
    CurrentOpener() = std::move(opener);
}

} // namespace phonebook
