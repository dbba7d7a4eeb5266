#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace talvex::link {

// The plain text files the reader window keeps: the traffic record
// "KVR_Record<date>.txt" and the automatic magnetic test log "MagAuto<date>.txt".
// Both live in the record folder, are written in the system's 8-bit code page
// and end every line with CR LF.

// The folder the files go to: beside the program, or, where that folder cannot
// be written (an installed program), the user's application data folder.
QString recordFolder();
// Puts the files somewhere else (tests); an empty text restores the default.
void setRecordFolder(const QString &folder);

// The short date of the system's regional settings, every character a file
// name cannot hold turned into "-". The C (POSIX) locale has no regional date
// of its own; it gets the numeric year-month-day, so that the name holds no
// blanks.
QString fileDateText(const QDate &date, const QLocale &locale = QLocale::system());

QString recordFilePath(const QDate &date = QDate::currentDate());
QString magAutoLogPath(const QDate &date = QDate::currentDate());

// Creates or overwrites the record file and writes its header for the model
// (which may be empty): one text line, then two empty lines. On failure error,
// if given, says why in words for a status line.
bool startRecordFile(const QString &path, const QString &model, QString *error = nullptr);

// Appends text as one line. An empty path means recording is off. Nothing is
// shown on a file error: the exchange or the test goes on without its record,
// and the caller may put error in its status line.
bool AppendRecordFile(const QString &path, const QString &text, QString *error = nullptr);
bool AppendMagAutoLog(const QString &text, QString *error = nullptr);

} // namespace talvex::link
