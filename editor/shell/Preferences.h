#pragma once
// Options beyond the stored settings value, in a small text file of their
// own beside it, so that value keeps its layout. One "Key=Value" a line,
// "#" starts a comment; keys this version does not know survive a rewrite.
#include <QString>

#include <map>

class cPreferences
{
public:
    // The file in Directory (the product's settings folder).
    explicit cPreferences(const QString &directory);

    const QString &FileName() const noexcept { return FFileName; }
    // A missing or unreadable file leaves every option at its default.
    void Load();
    // Raises EFCreateError naming the file.
    void Save() const;

    bool Bool(const QString &key, bool fallback) const;
    void SetBool(const QString &key, bool value);

private:
    QString FFileName;
    std::map<QString, QString> FValues;
};
