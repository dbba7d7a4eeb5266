#pragma once

#include <QByteArray>
#include <QString>

namespace talvex::magnetic {

// Lines of the automatic test's daily log "MagAuto<date>.txt". Each is handed
// to link::AppendMagAutoLog, which ends it with CR LF; a line that wraps holds
// its own inner line breaks.

// "SD: " and every byte as two upper-case digits and a blank; after every 25th
// byte a line break and four blanks.
QString magSentLine(const QByteArray &bytes);
// "RD: " in the same form.
QString magReceivedLine(const QByteArray &bytes);
// The enquiry: "SD: 05", no trailing blank.
QString magEnquiryLine();
// The KVR-523's answer to an upload request: "SD: 6".
QString magUploadAckLine();
// "Same ", the count with the blank that a positive number's text carries,
// " times" and a line break, so that an empty line follows in the file.
QString magSameTimesLine(qint64 count);
// The first line of a new log file.
QString magLogHeader(const QString &model);

} // namespace talvex::magnetic
