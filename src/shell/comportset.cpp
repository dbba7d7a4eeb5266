#include "comportset.h"

#include "readerprobe.h"
#include "readerscan.h"

#include "link/exchange.h"
#include "link/messages.h"
#include "link/serialcomm.h"
#include "link/serialerror.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace talvex::shell {

namespace {

constexpr int kLastListedPort = 15;
constexpr int kWidthTwips = 5400;

const QString kUnfoldCaption = QStringLiteral("'AUTO SCAN'   Unfold -->>");
const QString kFoldCaption = QStringLiteral("'AUTO SCAN' Fold <<--");

QString portText(int port) {
    return QStringLiteral("COM") + QString::number(port);
}
QString baudText(int baud) {
    return QString::number(baud) + QStringLiteral(" bits/s");
}

// Only the exact texts of the list count; "COM16" is refused although the scan
// can find a reader there.
int portNumberOf(const QString &text) {
    for (int port = 1; port <= kLastListedPort; ++port) {
        if (text == portText(port))
            return port;
    }
    return 0;
}

int baudOf(const QString &text) {
    for (int baud : kAcceptedBaudRates) {
        if (text == baudText(baud))
            return baud;
    }
    return 0;
}

void closeQuietly(link::SerialComm &port) {
    try {
        if (port.PortOpen())
            port.setPortOpen(false);
    } catch (const link::SerialError &) {
        // Nothing more to undo on a port that is already gone.
    }
}

} // namespace

comportset::comportset(link::ReaderLinkContext &reader, QWidget *parent)
    : QDialog(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }) {
    setObjectName(QStringLiteral("comportset"));
    setWindowTitle(QStringLiteral("Communication Setting"));

    m_portCombo = new QComboBox(this);
    m_portCombo->setObjectName(QStringLiteral("PortCombo"));
    m_portCombo->setEditable(true);
    // What the user types is checked by OK, never added to the list.
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    for (int port = 1; port <= kLastListedPort; ++port)
        m_portCombo->addItem(portText(port));
    m_portCombo->setCurrentText(QStringLiteral("COM1"));

    m_baudCombo = new QComboBox(this);
    m_baudCombo->setObjectName(QStringLiteral("BaudCombo"));
    m_baudCombo->setEditable(true);
    m_baudCombo->setInsertPolicy(QComboBox::NoInsert);
    for (int baud : kScanBaudRates)
        m_baudCombo->addItem(baudText(baud));
    m_baudCombo->setCurrentText(QStringLiteral("9600 bits/s"));

    auto *portLabel = new QLabel(QStringLiteral("Comm Port Number"), this);
    auto *baudLabel = new QLabel(QStringLiteral("Baud Rate"), this);
    portLabel->setBuddy(m_portCombo);
    baudLabel->setBuddy(m_baudCombo);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));

    m_autoLabel = new QLabel(kUnfoldCaption, this);
    m_autoLabel->setObjectName(QStringLiteral("AutoLabel"));
    m_autoLabel->setCursor(Qt::PointingHandCursor);
    m_autoLabel->setStyleSheet(QStringLiteral("color: #1a4fb0;"));
    m_autoLabel->installEventFilter(this);

    m_scanArea = new QWidget(this);
    auto *scan = new QPushButton(QStringLiteral("SCAN"), m_scanArea);
    scan->setObjectName(QStringLiteral("Command3"));
    m_label1 = new QLabel(m_scanArea);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setWordWrap(true);

    auto *fields = new QGridLayout;
    fields->addWidget(portLabel, 0, 0);
    fields->addWidget(m_portCombo, 0, 1);
    fields->addWidget(baudLabel, 1, 0);
    fields->addWidget(m_baudCombo, 1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *scanRow = new QVBoxLayout(m_scanArea);
    scanRow->setContentsMargins(0, 0, 0, 0);
    scanRow->addWidget(scan, 0, Qt::AlignLeft);
    scanRow->addWidget(m_label1);

    auto *main = new QVBoxLayout(this);
    main->addLayout(fields);
    main->addLayout(buttons);
    main->addWidget(m_autoLabel);
    main->addWidget(m_scanArea);
    main->addStretch();

    connect(ok, &QPushButton::clicked, this, [this] {
        m_operations.run(m_reader.readerPort(), [this] { return Command1_Click(); });
    });
    connect(cancel, &QPushButton::clicked, this, &comportset::Command2_Click);
    connect(scan, &QPushButton::clicked, this, [this] {
        m_operations.run(m_reader.readerPort(), [this] { return Command3_Click(); });
    });

    setFixedWidth(twipsToPixels(kWidthTwips));
    applyFold();
}

int comportset::twipsToPixels(int twips) const {
    return twips * logicalDpiY() / 1440;
}

void comportset::applyFold() {
    m_scanArea->setVisible(m_showScanArea);
    m_autoLabel->setText(m_showScanArea ? kFoldCaption : kUnfoldCaption);
    // The heights are those of the whole window, title bar included.
    const int frame = frameGeometry().height() - geometry().height();
    setFixedHeight(twipsToPixels(m_showScanArea ? kUnfoldedTwips : kFoldedTwips) - frame);
}

void comportset::AutoLabel_Click() {
    m_showScanArea = !m_showScanArea;
    applyFold();
    if (QScreen *s = screen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

void comportset::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // The title bar's height is known only once the window is on screen.
    applyFold();
}

bool comportset::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_autoLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        AutoLabel_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QCoro::Task<> comportset::Command1_Click() {
    m_reader.setPortSetUp(false);

    const int port = portNumberOf(m_portCombo->currentText());
    if (port == 0) {
        link::showCaution(QStringLiteral("Comm Port Setup Invalid"));
        m_portCombo->setFocus();
        co_return;
    }
    const int baud = baudOf(m_baudCombo->currentText());
    if (baud == 0) {
        link::showCaution(QStringLiteral("Baud Rate Setup Invalid"));
        m_baudCombo->setFocus();
        co_return;
    }

    link::SerialComm &comm = m_reader.readerPort();
    int error = reopenPort(comm, port, baud);
    if (error == 0) {
        QString result;
        try {
            result = co_await ProbeReaderAfterSetup(m_reader, m_negativeProbeReply);
        } catch (const link::SerialError &) {
            // The line failed while the probe ran (it hung up, or the driver
            // refused a write): as far as the user can tell, nothing answered.
            result = QStringLiteral("ERROR");
        }
        if (result != QStringLiteral("ERROR")) {
            m_reader.setPortSetUp(true);
            accept();
            co_return;
        }
        if (!m_negativeProbeReply) {
            link::showCaution(QStringLiteral("Unit not detected\r\n"
                                             "1.Comm port setup error\r\n"
                                             "2.No power on Unit\r\n"
                                             "3.Communication line not connected"));
        }
        closeQuietly(comm);
        co_return;
    }

    if (error == link::kPortNotFound) {
        link::showCaution(
            QStringLiteral("Comm Port Selection Invalid, Please Select Right Comm. Port"));
    } else if (error == link::kPortInUse) {
        link::showCaution(
            QStringLiteral("Comm. Port is Used for Some Equipment, Please Select Other One"));
    }
}

void comportset::Command2_Click() {
    reject();
}

QCoro::Task<> comportset::Command3_Click() {
    // The connection state is OK's and "Close Comm"'s alone: a scan that finds
    // the set-up reader again leaves it usable after Cancel.
    m_label1->setText(QStringLiteral("请稍候，正在扫描......"));
    ReaderScan scanner(m_reader.readerPort());
    const ReaderScan::Found found = co_await scanner.scan();
    if (found.port != 0) {
        m_label1->setText(QStringLiteral("Found KVR Reader AT COM") + QString::number(found.port) +
                          QStringLiteral(" Baut Rate ") + QString::number(found.baud));
        m_portCombo->setCurrentText(portText(found.port));
        m_baudCombo->setCurrentText(baudText(found.baud));
    } else {
        m_label1->setText(QStringLiteral("No Found KVR Reader"));
    }
}

} // namespace talvex::shell
