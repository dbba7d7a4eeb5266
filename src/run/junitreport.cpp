#include "run/junitreport.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamWriter>

namespace talvex::run {

bool writeJUnitReport(const QString &path, const QString &scriptFile,
                      const std::vector<StepRecord> &records, const QString &stopReason) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    int failures = 0;
    qint64 ms = 0;
    for (const StepRecord &r : records) {
        failures += r.passed ? 0 : 1;
        ms += r.ms;
    }
    const QString suite = QFileInfo(scriptFile).fileName();
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), suite);
    xml.writeAttribute(QStringLiteral("tests"), QString::number(records.size()));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("time"), QString::number(double(ms) / 1000.0, 'f', 3));
    for (const StepRecord &r : records) {
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("classname"), suite);
        xml.writeAttribute(QStringLiteral("name"),
                           QStringLiteral("line %1: %2").arg(r.line).arg(r.text));
        xml.writeAttribute(QStringLiteral("time"), QString::number(double(r.ms) / 1000.0, 'f', 3));
        if (!r.passed) {
            xml.writeStartElement(QStringLiteral("failure"));
            xml.writeAttribute(
                QStringLiteral("message"),
                QStringLiteral("%1:%2: %3").arg(scriptFile).arg(r.line).arg(r.failure));
            xml.writeCharacters(r.output);
            xml.writeEndElement();
        }
        if (!r.output.isEmpty())
            xml.writeTextElement(QStringLiteral("system-out"), r.output);
        xml.writeEndElement();
    }
    if (!stopReason.isEmpty())
        xml.writeTextElement(QStringLiteral("system-err"), stopReason);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return file.error() == QFile::NoError;
}

} // namespace talvex::run
