// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/Resources.h"

#include "editor/platform/Exceptions.h"

#include <QHash>

namespace {

const QHash<int, QString> &Table()
{
    static const QHash<int, QString> table = {
        {res::EngineMail, QStringLiteral("mailto:pcre2-dev@googlegroups.com")},
        {res::RegexHelpUrl, QStringLiteral("https://www.pcre.org/current/doc/html/pcre2pattern.html")},
        {res::SpecialCharsHint,
         QStringLiteral(
             "^: caret itself\r^p: paragraphs mark\r^t: tab\r^n: ndash\r^m: mdash\r^w: white space")},
        {res::TextNotFound, QStringLiteral("Text \"%s\" not found")},
        {res::PatternNotFound, QStringLiteral("Search pattern \"%s\" not found")},
        {res::FindEqualsReplace,
         QStringLiteral("Text to find is identical to the text to replace:\r\r\"%s\"")},
        {res::ReplacementsDone, QStringLiteral("%d replacements done:\r\r\"%s\" replaced with \"%s\"")},
        {res::ReplacementDone, QStringLiteral("%d replacement done:\r\r\"%s\" replaced with \"%s\"")},
        {res::FindCaption, QStringLiteral("Find Text")},
        {res::ReplaceCaption, QStringLiteral("Replace Text")},
        {res::ReplacePrompt, QStringLiteral("Replace this occurence of \"%s\"")},
        {res::RecordingNotice,
         QStringLiteral(
             "Recording key macro... To stop record, hit Shift+Ctrl+R. Hit Shift+Ctrl+P to play macro.")},
        {res::EngineCreditLabel, QStringLiteral("Regular Expression Engine:")},
        {res::EngineCredit, QStringLiteral("PCRE2, Perl-compatible regular expressions, by Philip Hazel")},
        {res::EngineUrl, QStringLiteral("https://www.pcre.org/")},
        {res::AllFilesFilter, QStringLiteral("All files (*.*)|*.*")},
        {res::ProductName, QStringLiteral("Zelmar")},
        {res::ProductUrl, QStringLiteral(QUORVEL_HOMEPAGE)},
        {res::CompanyWord, QStringLiteral("Varnholt")},
        {res::VersionFormat, QStringLiteral("Version %d.%d")},
    };
    return table;
}

} // namespace

QString LoadResString(int id)
{
    return Table().value(id);
}

QString Format(const QString &format, std::initializer_list<QVariant> args)
{
    QString out;
    out.reserve(format.size() + 16);
    auto next = args.begin();
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const QChar conversion = format[++i];
        if (conversion == u'%') {
            out += u'%';
            continue;
        }
        const QVariant arg = next != args.end() ? *next++ : QVariant();
        switch (conversion.unicode()) {
        case u'd':
            out += QString::number(arg.toLongLong());
            break;
        case u'u':
            out += QString::number(arg.toULongLong());
            break;
        case u'x':
            out += QString::number(arg.toULongLong(), 16);
            break;
        default:
            out += arg.toString();
            break;
        }
    }
    return out;
}

QString FormatRes(int id, std::initializer_list<QVariant> args)
{
    return Format(LoadResString(id), args);
}

void AbstractError()
{
    throw EAbstractError(QStringLiteral("Abstract Error"));
}
