#include "run/script.h"

#include "contact/contactcommands.h"
#include "magnetic/trackparser.h"
#include "memorycard/memoryoperations.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <optional>

namespace talvex::run {

QString ScriptError::text() const {
    return QStringLiteral("%1:%2:%3: %4").arg(file).arg(line).arg(column).arg(message);
}

const QStringList &expectFields() {
    static const QStringList fields = {
        QStringLiteral("exchange"),    QStringLiteral("status"),      QStringLiteral("entry"),
        QStringLiteral("rear"),        QStringLiteral("text"),        QStringLiteral("box"),
        QStringLiteral("model"),       QStringLiteral("reply"),       QStringLiteral("reply-hex"),
        QStringLiteral("result"),      QStringLiteral("track1"),      QStringLiteral("track2"),
        QStringLiteral("track3"),      QStringLiteral("track1-data"), QStringLiteral("track2-data"),
        QStringLiteral("track3-data"), QStringLiteral("card-type"),   QStringLiteral("data"),
        QStringLiteral("sw"),          QStringLiteral("response"),    QStringLiteral("atr"),
        QStringLiteral("sensors"),     QStringLiteral("word"),        QStringLiteral("state"),
    };
    return fields;
}

namespace {

struct Token {
    QString text;
    int column = 0; // 1-based
    bool quoted = false;
};

struct Failure {
    int column;
    QString message;
};

// Splits one line into words; "double quotes" keep blanks and a '#' outside
// quotes starts a comment. Backslash escapes a quote or a backslash in quotes.
std::variant<QList<Token>, Failure> tokenize(const QString &line) {
    QList<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        const QChar c = line.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('#'))
            break;
        Token token;
        token.column = int(i) + 1;
        if (c == QLatin1Char('"')) {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar q = line.at(i);
                if (q == QLatin1Char('\\') && i + 1 < n &&
                    (line.at(i + 1) == QLatin1Char('"') || line.at(i + 1) == QLatin1Char('\\'))) {
                    token.text += line.at(i + 1);
                    i += 2;
                    continue;
                }
                ++i;
                if (q == QLatin1Char('"')) {
                    closed = true;
                    break;
                }
                token.text += q;
            }
            if (!closed)
                return Failure{token.column, QStringLiteral("the quoted text does not end")};
        } else {
            while (i < n && !line.at(i).isSpace() && line.at(i) != QLatin1Char('#'))
                token.text += line.at(i++);
        }
        tokens.append(token);
    }
    return tokens;
}

std::optional<int> number(const QString &text, int low, int high) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int value = text.toInt();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

// Hex digits, pairs optionally separated by blanks in one token ("0084000008").
std::optional<QByteArray> hexBytes(const QString &text) {
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    if (!hex.match(text).hasMatch())
        return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

class Parser {
public:
    Parser(const QString &file, DeviceKind device) : m_file(file), m_device(device) {}

    std::variant<Script, ScriptError> parse(const QByteArray &source);

private:
    std::optional<Failure> parseLine(const QList<Token> &tokens, Step &step);
    std::optional<Failure> reader(const QList<Token> &t, Step &step);
    std::optional<Failure> dispenser(const QList<Token> &t, Step &step);
    std::optional<Failure> expect(const QList<Token> &t, Step &step);

    ScriptError error(int line, int column, const QString &message) const {
        return ScriptError{m_file, line, column, message};
    }

    QString m_file;
    DeviceKind m_device;
};

Failure missing(const QList<Token> &t, const QString &what) {
    const Token &last = t.back();
    return Failure{last.column + int(last.text.size()), QStringLiteral("%1 missing").arg(what)};
}

Failure extra(const Token &token) {
    return Failure{token.column, QStringLiteral("unexpected \"%1\"").arg(token.text)};
}

bool isReaderWord(const QString &w) {
    static const QStringList words = {
        QStringLiteral("detect"),    QStringLiteral("model"),    QStringLiteral("status"),
        QStringLiteral("reset"),     QStringLiteral("sensors"),  QStringLiteral("read-tracks"),
        QStringLiteral("card-type"), QStringLiteral("rf-read"),  QStringLiteral("apdu"),
        QStringLiteral("cpu-reset"), QStringLiteral("mem-read"), QStringLiteral("mem-write"),
        QStringLiteral("send")};
    return words.contains(w);
}

bool isDispenserWord(const QString &w) {
    static const QStringList words = {QStringLiteral("dispense"), QStringLiteral("capture"),
                                      QStringLiteral("status"), QStringLiteral("reset")};
    return words.contains(w);
}

std::optional<Failure> Parser::reader(const QList<Token> &t, Step &step) {
    const QString &w = t[0].text;
    step.kind = StepKind::Reader;
    auto noMore = [&](int from) -> std::optional<Failure> {
        if (t.size() > from)
            return extra(t[from]);
        return std::nullopt;
    };
    if (w == QLatin1String("detect")) {
        step.kind = StepKind::Detect;
        return noMore(1);
    }
    if (w == QLatin1String("model")) {
        step.kind = StepKind::Model;
        if (t.size() < 2)
            return missing(t, QStringLiteral("model name"));
        static const QStringList models = {QStringLiteral("KVR-416"), QStringLiteral("KVR-523"),
                                           QStringLiteral("KVR-527"), QStringLiteral("KVR-634"),
                                           QStringLiteral("KVR-638"), QStringLiteral("KVR-690")};
        if (!models.contains(t[1].text))
            return Failure{t[1].column, QStringLiteral("unknown model \"%1\"").arg(t[1].text)};
        step.model = t[1].text;
        return noMore(2);
    }
    if (w == QLatin1String("status")) {
        step.readerOp = ReaderOp::Status;
        step.body = QByteArrayLiteral("10");
        return noMore(1);
    }
    if (w == QLatin1String("sensors")) {
        step.readerOp = ReaderOp::Sensors;
        step.body = QByteArrayLiteral("1.");
        return noMore(1);
    }
    if (w == QLatin1String("card-type")) {
        step.readerOp = ReaderOp::CardType;
        step.body = QByteArrayLiteral("11");
        return noMore(1);
    }
    if (w == QLatin1String("reset")) {
        step.readerOp = ReaderOp::Reset;
        step.pm = '0';
        if (t.size() > 1) {
            const QString &o = t[1].text;
            if (o == QLatin1String("no-eject"))
                step.pm = '0';
            else if (o == QLatin1String("eject-front"))
                step.pm = '1';
            else if (o == QLatin1String("eject-rear"))
                step.pm = '2';
            else
                return Failure{t[1].column,
                               QStringLiteral("reset takes no-eject, eject-front or eject-rear")};
        }
        return noMore(2);
    }
    if (w == QLatin1String("read-tracks")) {
        step.readerOp = ReaderOp::ReadTracks;
        bool tracks[3] = {false, false, false};
        char mode = '0';
        for (qsizetype i = 1; i < t.size(); ++i) {
            const QString &a = t[i].text;
            if (a == QLatin1String("bin"))
                mode = '1';
            else if (a == QLatin1String("ascii"))
                mode = '0';
            else if (a == QLatin1String("1") || a == QLatin1String("2") || a == QLatin1String("3"))
                tracks[a.toInt() - 1] = true;
            else
                return Failure{t[i].column, QStringLiteral("a track is 1, 2 or 3")};
        }
        if (!tracks[0] && !tracks[1] && !tracks[2])
            return missing(t, QStringLiteral("track number"));
        step.body = QByteArrayLiteral("E0");
        step.body += mode;
        step.body += magnetic::trackCode(tracks[0], tracks[1], tracks[2]);
        return std::nullopt;
    }
    if (w == QLatin1String("rf-read")) {
        // rf-read sector S block B key K [key-b]
        step.readerOp = ReaderOp::RfRead;
        if (t.size() < 7)
            return missing(t, QStringLiteral("\"sector S block B key KEY\""));
        if (t[1].text != QLatin1String("sector"))
            return Failure{t[1].column, QStringLiteral("\"sector\" expected")};
        const auto sector = number(t[2].text, 0, 39);
        if (!sector)
            return Failure{t[2].column, QStringLiteral("a sector is 0 to 39")};
        if (t[3].text != QLatin1String("block"))
            return Failure{t[3].column, QStringLiteral("\"block\" expected")};
        const auto block = number(t[4].text, 0, 15);
        if (!block)
            return Failure{t[4].column, QStringLiteral("a block is 0 to 15")};
        if (t[5].text != QLatin1String("key"))
            return Failure{t[5].column, QStringLiteral("\"key\" expected")};
        const auto key = hexBytes(t[6].text);
        if (!key || key->size() != 6)
            return Failure{t[6].column, QStringLiteral("a key is 12 hexadecimal digits")};
        char keyType = '2'; // key A
        if (t.size() > 7) {
            if (t[7].text == QLatin1String("key-b"))
                keyType = '9';
            else if (t[7].text != QLatin1String("key-a"))
                return Failure{t[7].column, QStringLiteral("key-a or key-b expected")};
        }
        step.keyCheck = QByteArray("5") + keyType + char(*sector) + *key;
        step.body = QByteArray("53") + char(*sector) + char(*block);
        return noMore(8);
    }
    if (w == QLatin1String("apdu")) {
        step.readerOp = ReaderOp::Apdu;
        if (t.size() < 2)
            return missing(t, QStringLiteral("APDU"));
        QString all;
        for (qsizetype i = 1; i < t.size(); ++i)
            all += t[i].text;
        const auto apdu = hexBytes(all);
        if (!apdu)
            return Failure{t[1].column, QStringLiteral("an APDU is pairs of hexadecimal digits")};
        if (apdu->size() < 4 || apdu->size() > contact::kMaxSlotApdu)
            return Failure{t[1].column,
                           QStringLiteral("an APDU is 4 to %1 bytes").arg(contact::kMaxSlotApdu)};
        step.data = *apdu;
        return std::nullopt;
    }
    if (w == QLatin1String("cpu-reset")) {
        step.readerOp = ReaderOp::CpuReset;
        bool iso = false;
        if (t.size() > 1) {
            if (t[1].text == QLatin1String("iso"))
                iso = true;
            else if (t[1].text != QLatin1String("emv"))
                return Failure{t[1].column, QStringLiteral("cpu-reset takes emv or iso")};
        }
        step.body = contact::coldResetBody(iso);
        return noMore(2);
    }
    if (w == QLatin1String("mem-read") || w == QLatin1String("mem-write")) {
        // mem-read 24C02 addr 0010 len 16 / mem-write 24C02 addr 0010 data 0102...
        const bool read = w == QLatin1String("mem-read");
        step.readerOp = read ? ReaderOp::MemRead : ReaderOp::MemWrite;
        if (t.size() < 6)
            return missing(t, read ? QStringLiteral("\"24Cxx addr HHLL len N\"")
                                   : QStringLiteral("\"24Cxx addr HHLL data HEX\""));
        const auto type = memorycard::at24cTypeCode(t[1].text.toUpper());
        if (!type)
            return Failure{t[1].column, QStringLiteral("a card is 24C01 to 24C64")};
        if (t[2].text != QLatin1String("addr"))
            return Failure{t[2].column, QStringLiteral("\"addr\" expected")};
        const auto address = hexBytes(t[3].text);
        if (!address || address->size() != 2)
            return Failure{t[3].column, QStringLiteral("an address is 4 hexadecimal digits")};
        QByteArray data;
        int length = 0;
        if (read) {
            if (t[4].text != QLatin1String("len"))
                return Failure{t[4].column, QStringLiteral("\"len\" expected")};
            const auto n = number(t[5].text, 1, 128);
            if (!n)
                return Failure{t[5].column, QStringLiteral("a length is 1 to 128")};
            length = *n;
        } else {
            if (t[4].text != QLatin1String("data"))
                return Failure{t[4].column, QStringLiteral("\"data\" expected")};
            const auto bytes = hexBytes(t[5].text);
            if (!bytes || bytes->size() > 128)
                return Failure{t[5].column,
                               QStringLiteral("data is 1 to 128 bytes in hexadecimal digits")};
            data = *bytes;
            length = int(data.size());
        }
        step.body =
            QByteArray("6") + (read ? '1' : '2') + char(*type) + *address + char(length) + data;
        return noMore(6);
    }
    // send
    step.kind = StepKind::Send;
    if (t.size() < 2)
        return missing(t, QStringLiteral("bytes"));
    for (qsizetype i = 1; i < t.size(); ++i) {
        const auto bytes = hexBytes(t[i].text);
        if (!bytes)
            return Failure{t[i].column,
                           QStringLiteral("\"%1\" is no hexadecimal byte").arg(t[i].text)};
        step.body += *bytes;
    }
    if (step.body.size() > 1024)
        return Failure{t[1].column, QStringLiteral("a body is at most 1024 bytes")};
    return std::nullopt;
}

std::optional<Failure> Parser::dispenser(const QList<Token> &t, Step &step) {
    const QString &w = t[0].text;
    step.kind = StepKind::Dispenser;
    int used = 1;
    if (w == QLatin1String("status")) {
        step.dispenserOp = DispenserOp::Status;
    } else if (w == QLatin1String("reset")) {
        step.dispenserOp = DispenserOp::Reset;
    } else if (w == QLatin1String("capture")) {
        if (m_device == DeviceKind::Dispenser840)
            return Failure{t[0].column, QStringLiteral("the KVR-840 has no capture")};
        step.dispenserOp = DispenserOp::Capture;
    } else {
        step.dispenserOp = DispenserOp::Dispense;
        if (t.size() > 1) {
            if (t[1].text != QLatin1String("door"))
                return Failure{t[1].column, QStringLiteral("dispense takes nothing or \"door\"")};
            if (m_device == DeviceKind::Dispenser840)
                return Failure{t[1].column, QStringLiteral("the KVR-840 has no door")};
            step.dispenserOp = DispenserOp::DispenseDoor;
            used = 2;
        }
    }
    if (t.size() > used)
        return extra(t[used]);
    return std::nullopt;
}

std::optional<Failure> Parser::expect(const QList<Token> &t, Step &step) {
    step.kind = StepKind::Expect;
    if (t.size() < 2)
        return missing(t, QStringLiteral("field"));
    if (!expectFields().contains(t[1].text))
        return Failure{t[1].column, QStringLiteral("unknown field \"%1\"").arg(t[1].text)};
    step.field = t[1].text;
    if (t.size() < 3)
        return missing(t, QStringLiteral("\"=\", \"!=\", \"~\" or \"ok\""));
    const QString &op = t[2].text;
    if (op == QLatin1String("ok") && !t[2].quoted) {
        step.op = ExpectOp::Equal;
        step.value = QStringLiteral("ok");
        if (t.size() > 3)
            return extra(t[3]);
        return std::nullopt;
    }
    if (op == QLatin1String("="))
        step.op = ExpectOp::Equal;
    else if (op == QLatin1String("!="))
        step.op = ExpectOp::NotEqual;
    else if (op == QLatin1String("~"))
        step.op = ExpectOp::Matches;
    else
        return Failure{t[2].column, QStringLiteral("\"=\", \"!=\", \"~\" or \"ok\" expected")};
    if (t.size() < 4)
        return missing(t, QStringLiteral("value"));
    if (t.size() > 4)
        return extra(t[4]);
    step.value = t[3].text;
    if (step.op == ExpectOp::Matches) {
        const QRegularExpression re(step.value);
        if (!re.isValid())
            return Failure{t[3].column, QStringLiteral("bad pattern: %1").arg(re.errorString())};
    }
    return std::nullopt;
}

std::optional<Failure> Parser::parseLine(const QList<Token> &t, Step &step) {
    const QString &w = t[0].text;
    if (t[0].quoted)
        return Failure{t[0].column, QStringLiteral("a step starts with its name")};
    if (w == QLatin1String("open") || w == QLatin1String("close")) {
        step.kind = w == QLatin1String("open") ? StepKind::Open : StepKind::Close;
        if (t.size() > 1)
            return extra(t[1]);
        return std::nullopt;
    }
    if (w == QLatin1String("expect"))
        return expect(t, step);
    if (w == QLatin1String("wait")) {
        step.kind = StepKind::Wait;
        if (t.size() < 2)
            return missing(t, QStringLiteral("time"));
        static const QRegularExpression time(QStringLiteral("^([0-9]{1,7})(ms|s)?$"));
        const auto m = time.match(t[1].text);
        if (!m.hasMatch())
            return Failure{t[1].column, QStringLiteral("a time is like 500ms or 2s")};
        qint64 ms = m.captured(1).toLongLong();
        if (m.captured(2) == QLatin1String("s"))
            ms *= 1000;
        if (ms > 3600000)
            return Failure{t[1].column, QStringLiteral("a wait is at most one hour")};
        step.ms = int(ms);
        if (t.size() > 2)
            return extra(t[2]);
        return std::nullopt;
    }
    const bool dispenserLine = m_device != DeviceKind::Reader;
    if (dispenserLine && isDispenserWord(w))
        return dispenser(t, step);
    if (!dispenserLine && isReaderWord(w))
        return reader(t, step);
    if (dispenserLine && w == QLatin1String("send"))
        return Failure{t[0].column, QStringLiteral("send is for readers only")};
    if (isReaderWord(w) || isDispenserWord(w))
        return Failure{t[0].column, QStringLiteral("\"%1\" is not a %2 step")
                                        .arg(w, dispenserLine ? QStringLiteral("dispenser")
                                                              : QStringLiteral("reader"))};
    return Failure{t[0].column, QStringLiteral("unknown step \"%1\"").arg(w)};
}

std::variant<Script, ScriptError> Parser::parse(const QByteArray &source) {
    // A file that is no UTF-8 text, or holds control characters other than
    // tab and line ends, is no script: name the first such byte.
    {
        int line = 1;
        int column = 1;
        QStringDecoder decoder(QStringDecoder::Utf8);
        for (qsizetype i = 0; i < source.size(); ++i) {
            const auto b = quint8(source.at(i));
            if (b == '\n') {
                ++line;
                column = 1;
                continue;
            }
            if ((b < 0x20 && b != '\t' && b != '\r') || b == 0x7F)
                return error(line, column,
                             QStringLiteral("binary byte %1h; a script is plain text")
                                 .arg(QString::number(b, 16).toUpper().rightJustified(2, u'0')));
            ++column;
        }
        const QString all = decoder(source);
        if (decoder.hasError())
            return error(1, 1, QStringLiteral("the file is not UTF-8 text"));
    }

    Script script;
    script.file = m_file;
    // The open repeats: each holds the steps of its braces.
    struct Open {
        Step step;
    };
    std::vector<Open> open;
    std::vector<Step> *into = &script.steps;
    const QString text = QString::fromUtf8(source);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const int lineNo = int(n) + 1;
        auto tokens = tokenize(line);
        if (auto *f = std::get_if<Failure>(&tokens))
            return error(lineNo, f->column, f->message);
        QList<Token> t = std::get<QList<Token>>(tokens);
        if (t.isEmpty())
            continue;
        if (t[0].text == QLatin1String("}") && !t[0].quoted) {
            if (open.empty())
                return error(lineNo, t[0].column, QStringLiteral("\"}\" without a repeat"));
            if (t.size() > 1)
                return error(lineNo, t[1].column,
                             QStringLiteral("unexpected \"%1\"").arg(t[1].text));
            Step done = std::move(open.back().step);
            open.pop_back();
            into = open.empty() ? &script.steps : &open.back().step.steps;
            into->push_back(std::move(done));
            continue;
        }
        Step step;
        step.line = lineNo;
        step.column = t[0].column;
        step.text = line.trimmed();
        if (const qsizetype hash = step.text.indexOf(QLatin1Char('#'));
            hash >= 0 && !t.back().quoted)
            step.text = step.text.left(hash).trimmed();
        if (t[0].text == QLatin1String("repeat") && !t[0].quoted) {
            step.kind = StepKind::Repeat;
            if (t.size() < 2)
                return error(lineNo, t[0].column + 6, QStringLiteral("count missing"));
            const auto count = number(t[1].text, 1, 1000000);
            if (!count)
                return error(lineNo, t[1].column, QStringLiteral("a count is 1 to 1000000"));
            if (t.size() < 3 || t[2].text != QLatin1String("{"))
                return error(lineNo,
                             t.size() < 3 ? t[1].column + int(t[1].text.size()) + 1 : t[2].column,
                             QStringLiteral("\"{\" expected after the count"));
            if (t.size() > 3)
                return error(lineNo, t[3].column,
                             QStringLiteral("unexpected \"%1\"").arg(t[3].text));
            step.count = *count;
            step.column = t[2].column; // where the brace opens, for a missing "}"
            open.push_back(Open{std::move(step)});
            into = &open.back().step.steps;
            continue;
        }
        if (const auto f = parseLine(t, step))
            return error(lineNo, f->column, f->message);
        into->push_back(std::move(step));
    }
    if (!open.empty()) {
        const Step &s = open.back().step;
        return error(s.line, s.column, QStringLiteral("\"{\" of this repeat has no \"}\""));
    }
    return script;
}

} // namespace

std::variant<Script, ScriptError> parseScript(const QByteArray &source, const QString &file,
                                              DeviceKind device) {
    return Parser(file, device).parse(source);
}

} // namespace talvex::run
