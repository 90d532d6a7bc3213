// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Failures are exceptions carrying the text the user is shown.
#include <QByteArray>
#include <QString>

#include <exception>

class eException : public std::exception
{
public:
    explicit eException(QString message = {}) : FMessage(std::move(message)), FUtf8(FMessage.toUtf8()) {}
    const QString &Message() const noexcept { return FMessage; }
    const char *what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// The class library's error kinds that the design names.
#define QUORVEL_DECLARE_ERROR(name, base)                                                                    \
    class name : public base                                                                                 \
    {                                                                                                        \
    public:                                                                                                  \
        using base::base;                                                                                    \
    };

QUORVEL_DECLARE_ERROR(EStringListError, eException)
QUORVEL_DECLARE_ERROR(EAbstractError, eException)
QUORVEL_DECLARE_ERROR(EConvertError, eException)
QUORVEL_DECLARE_ERROR(EInvalidOperation, eException)
QUORVEL_DECLARE_ERROR(EOutOfResources, eException)
QUORVEL_DECLARE_ERROR(EStreamError, eException)
QUORVEL_DECLARE_ERROR(EFOpenError, EStreamError)
QUORVEL_DECLARE_ERROR(EFCreateError, EStreamError)
QUORVEL_DECLARE_ERROR(EReadError, EStreamError)
QUORVEL_DECLARE_ERROR(EWriteError, EStreamError)

// Abandons an operation the user cancelled; swallowed by its catcher.
QUORVEL_DECLARE_ERROR(eCancel, eException)

#undef QUORVEL_DECLARE_ERROR

// The "Abstract Error" of a base operation that a descendant must provide.
[[noreturn]] void AbstractError();
