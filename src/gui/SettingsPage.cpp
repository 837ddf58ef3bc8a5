#include "gui/SettingsPage.h"

#include "gui/ErrorBoxDialog.h"
#include "gui/QtGbk.h"
#include "gui/QtUiDispatcher.h"
#include "gui/WidgetSetup.h"
#include "platform/CodePage.h"
#include "verify/AddressListUpdate.h"
#include "verify/VerdictCache.h"
#include "webtools/WebRequests.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quill {

namespace {

struct ListsReport {
    QString lines;
    QString summary;
    std::string writeFailure; // GBK
};

} // namespace

SettingsPage::SettingsPage(Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_dispatcher(std::make_unique<QtUiDispatcher>(this)),
      m_listsWorker(m_dispatcher.get())
{
    auto* label = new QLabel(QString::fromUtf8("日志目录"), this);
    m_logFolderBox = named(new QLineEdit(this), "edt1");
    m_logFolderBox->setReadOnly(true); // the folder is chosen with "定位目录"; typing here was never read
    m_chooseFolderButton = makeButton(this, "Button4", "定位目录");
    m_saveSettingsButton = makeButton(this, "Button3", "保存配制");
    m_updateListsButton = makeButton(this, "ButtonUpdateLists", "更新蜘蛛IP表");
    m_listsLabel = named(new QLabel(this), "LabelLists");
    m_listsLabel->setWordWrap(true);
    m_listsReport = named(new QPlainTextEdit(this), "memoLists");
    m_listsReport->setReadOnly(true);
    m_listsReport->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_logFolderBox, 0, 1);
    layout->addWidget(m_chooseFolderButton, 0, 2);
    layout->addWidget(m_saveSettingsButton, 1, 2);
    layout->addWidget(new QLabel(QString::fromUtf8("蜘蛛IP表"), this), 2, 0);
    layout->addWidget(m_listsLabel, 2, 1);
    layout->addWidget(m_updateListsButton, 2, 2);
    layout->addWidget(m_listsReport, 3, 1, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(3, 1);

    connect(m_chooseFolderButton, &QPushButton::clicked, this, &SettingsPage::chooseLogFolder);
    connect(m_saveSettingsButton, &QPushButton::clicked, this, &SettingsPage::saveSettings);
    connect(m_updateListsButton, &QPushButton::clicked, this, &SettingsPage::updateLists);
    showListsSummary();
}

SettingsPage::~SettingsPage() { m_listsWorker.stop(); }

void SettingsPage::showListsSummary()
{
    SettingsFile file(m_options.settingsPath);
    const std::string path = file.addressListsPath(file.load(Settings{}).verification);
    m_listsLabel->setText(fromGbk(listsSummaryText(readAddressListsFile(path), secondsNow())));
}

void SettingsPage::updateLists()
{
    if (m_updatingLists)
        return;
    m_updatingLists = true;
    m_updateListsButton->setEnabled(false);
    m_listsLabel->setText(QStringLiteral("正在更新蜘蛛IP表…"));
    m_listsReport->clear();
    SettingsFile file(m_options.settingsPath);
    const VerificationSettings verification = file.load(Settings{}).verification;
    const WebLimits limits = webLimitsFromEnvironment();
    ListSource source;
    source.folder = gbkToUtf8(verification.listsFolder); // the settings may send it to files instead of the web
    source.connectTimeout = limits.connect;
    source.idleTimeout = limits.idle;
    source.totalTimeout = limits.total;
    source.maxBytes = limits.maxBody;
    m_listsWorker.start([this, path = file.addressListsPath(verification), source](const std::atomic<bool>& stop,
                                                                                    const Worker::Post& post) mutable {
        source.stop = &stop;
        const std::int64_t now = secondsNow();
        const StoredListUpdate stored = updateAddressListsFile(path, source, now);
        ListsReport report;
        for (const ListChange& change : stored.update.changes)
            report.lines += fromGbk(listChangeText(change)) + QLatin1Char('\n');
        report.summary = fromGbk(listsSummaryText(stored.update.lists, now));
        report.writeFailure = stored.written.message();
        post([this, report = std::move(report)] {
            m_listsReport->setPlainText(report.lines);
            m_listsLabel->setText(report.summary);
            m_updatingLists = false;
            m_updateListsButton->setEnabled(true);
            if (!report.writeFailure.empty())
                showErrorBox(this, report.writeFailure);
            emit listsUpdated();
        });
    });
}

void SettingsPage::setLogFolder(const QString& folder)
{
    m_logFolder = folder;
    m_logFolderBox->setText(folder);
}

void SettingsPage::chooseLogFolder()
{
    if (std::optional<QString> folder = m_options.chooseFolder(this))
        setLogFolder(*folder);
    SettingsFile file(m_options.settingsPath);
    if (Status written = file.writeLogFolder(toGbk(m_logFolder)); !written) {
        showErrorBox(this, written.message());
        return;
    }
    emit logFolderSaved(m_logFolder);
}

void SettingsPage::saveSettings()
{
    const Settings current = m_options.currentSettings();
    SettingsFile file(m_options.settingsPath);
    Status written =
        file.saveConfiguration(current.filters, current.siteUrl, current.listBackground, current.listText);
    if (written)
        written = file.saveVerification(current.verification);
    if (written)
        written = file.writeFollowLog(current.followLog);
    if (written)
        written = file.writeSearchEncoded(current.searchEncoded);
    if (!written)
        showErrorBox(this, written.message());
}

} // namespace quill
