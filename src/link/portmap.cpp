#include "portmap.h"

#include "qserialbackend.h"

#include <QRegularExpression>
#include <map>
#include <optional>

namespace talvex::link::portmap {
namespace {

struct Mapping {
    std::optional<QString> path;
    BackendFactory factory;
};

std::map<int, Mapping> &mappings() {
    static std::map<int, Mapping> table;
    return table;
}

QString defaultPath(int port) {
    if (port < 1)
        return {};
#ifdef Q_OS_WIN
    // QSerialPort adds the \\.\ prefix that COM10 and above need.
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

// "COM3=/dev/ttyUSB0"; an empty path is allowed and maps the port to nothing.
bool applyMapping(const QString &text) {
    static const QRegularExpression form(QStringLiteral("^COM([0-9]{1,3})=(.*)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    const int port = m.captured(1).toInt();
    if (port < 1 || port > 255)
        return false;
    mapPath(port, m.captured(2));
    return true;
}

} // namespace

void mapPath(int port, const QString &devicePath) {
    mappings()[port] = Mapping{devicePath, {}};
}

void mapBackend(int port, BackendFactory factory) {
    mappings()[port] = Mapping{std::nullopt, std::move(factory)};
}

void unmap(int port) {
    mappings().erase(port);
}

void clear() {
    mappings().clear();
}

QString devicePath(int port) {
    const auto it = mappings().find(port);
    if (it != mappings().end() && it->second.path)
        return *it->second.path;
    return defaultPath(port);
}

std::unique_ptr<SerialBackend> createBackend(int port) {
    const auto it = mappings().find(port);
    if (it != mappings().end() && it->second.factory)
        return it->second.factory();
    return std::make_unique<QSerialBackend>(devicePath(port));
}

QStringList applyCommandLine(const QStringList &arguments, QStringList *errors) {
    static const QString option = QStringLiteral("--port");
    static const QString optionEq = QStringLiteral("--port=");
    const auto report = [errors](const QString &message) {
        if (errors)
            errors->append(message);
    };

    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        QString value;
        if (arg == option) {
            if (i + 1 >= arguments.size()) {
                report(QStringLiteral("--port needs COMn=PATH"));
                continue;
            }
            value = arguments.at(++i);
        } else if (arg.startsWith(optionEq)) {
            value = arg.mid(optionEq.size());
        } else {
            rest.append(arg);
            continue;
        }
        if (!applyMapping(value))
            report(QStringLiteral("--port %1: expected COMn=PATH with n from 1 to 255").arg(value));
    }
    return rest;
}

} // namespace talvex::link::portmap
