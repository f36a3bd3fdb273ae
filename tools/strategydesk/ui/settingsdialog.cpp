#include "ui/settingsdialog.h"

#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategyrefusal.h>

#include <cardelconstants.h>
#include <zcore.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QString autoStartKey()
{
    return QString::fromUtf8(CardelConstants::SettingFieldName::SarvekSetting::SarvekStragyAutoStart);
}
} // namespace

SettingsDialog::SettingsDialog(StrategyFileLogicHandler &plugin, QWidget *parent)
    : QDialog(parent)
    , m_plugin(plugin)
{
    setWindowTitle(tr("Settings"));
    choosePythonFile = [this](const QString &current) {
        return QFileDialog::getOpenFileName(this, tr("Python installation"), current);
    };
    m_python = new QLineEdit(m_plugin.getPYInstallPath(), this);
    m_python->setAccessibleName(tr("Python installation path"));
    auto *browse = new QPushButton(tr("&Browse..."), this);
    browse->setAccessibleName(tr("Browse for the Python installation"));
    m_warning = new QLabel(this);
    m_warning->setWordWrap(true);
    m_python->setMinimumWidth(360);
    m_autoStart = new QCheckBox(tr("Start strategies &automatically"), this);
    m_autoStart->setChecked(ZCore::instance()->settings(autoStartKey()).toBool());
    auto *autoStartNote = new QLabel(tr("While it is on, the group \"%1\" is added at start when it is missing; "
                                        "turning it off leaves the group in place.")
                                         .arg(QStringLiteral("自动启动")),
                                     this);
    autoStartNote->setWordWrap(true);
    m_error = new QLabel(this);
    m_error->setWordWrap(true);
    auto *row = new QHBoxLayout;
    row->addWidget(m_python, 1);
    row->addWidget(browse);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *form = new QFormLayout(this);
    auto *pythonLabel = new QLabel(tr("&Python:"), this);
    pythonLabel->setBuddy(m_python);
    form->addRow(pythonLabel, row);
    form->addRow(QString(), m_warning);
    form->addRow(QString(), m_autoStart);
    form->addRow(QString(), autoStartNote);
    form->addRow(m_error);
    form->addRow(buttons);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = choosePythonFile(m_python->text());
        if (!chosen.isEmpty())
            m_python->setText(chosen);
    });
    connect(m_python, &QLineEdit::textChanged, this, &SettingsDialog::updateWarning);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    updateWarning();
}

QString SettingsDialog::pathWarning() const
{
    return m_warning->text();
}

QString SettingsDialog::errorText() const
{
    return m_error->text();
}

void SettingsDialog::updateWarning()
{
    const QString path = m_python->text();
    m_warning->setText(path.isEmpty() || QFileInfo(path).isFile() ? QString()
                                                                  : tr("There is no file %1.").arg(path));
}

bool SettingsDialog::apply()
{
    m_error->clear();
    // After a refusal the plug-in may hold the path in memory only (a write
    // that failed): it is written again, not taken as saved.
    if (m_pathRefused || m_python->text() != m_plugin.getPYInstallPath()) {
        m_plugin.setPYInstallPath(m_python->text());
        const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
        m_pathRefused = refusal.isRefused();
        if (m_pathRefused) {
            m_error->setText(tr("The Python path was not saved: %1").arg(refusal.message));
            return false;
        }
    }
    ZCore::instance()->saveSetting(autoStartKey(), m_autoStart->isChecked());
    return true;
}

void SettingsDialog::accept()
{
    if (apply())
        QDialog::accept();
}
