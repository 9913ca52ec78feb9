#pragma once
// The exception classes the whole program shares. Every error the program
// raises on purpose derives from framework::Exception, which carries a
// human-readable message; callers that drop errors silently catch that base.

#include <QByteArray>
#include <QString>
#include <exception>

namespace framework {

class Exception : public std::exception {
public:
    explicit Exception(QString message);

    const QString& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// A silent cancel: raised to stop an operation without reporting an error.
class EAbort : public Exception {
public:
    using Exception::Exception;
    EAbort();
};

// A picture holds data that cannot be used, or was asked for something it lacks.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// An operation that a picture of this kind does not support.
class EInvalidGraphicOperation : public Exception {
public:
    using Exception::Exception;
};

// An object was asked to take its state from one of a kind it cannot copy.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Memory for pixels or buffers could not be had.
class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
    EOutOfMemory();
};

// Stream failures: a stream that cannot grow, a file that cannot be created,
// a write that the target did not take in full.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

} // namespace framework
