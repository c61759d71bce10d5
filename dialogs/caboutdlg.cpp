#include "caboutdlg.h"

#include "ui_caboutdlg.h"

namespace {

QString VersionText(int nMajor, int nMinor, int nBuild)
{
    return QStringLiteral("%1.%2.%3").arg(nMajor).arg(nMinor).arg(nBuild);
}

} // namespace

// The picture is compiled into this library. Resources of a static library
// are registered only when code that the linker keeps asks for them.
static void InitAboutImages()
{
    Q_INIT_RESOURCE(about);
}

CAboutDlg::CAboutDlg(QWidget* pParent, const QString& strWebServer, int nTimeoutMs, bool bCheck)
    : QDialog(pParent), ui(new Ui_CAboutDlg)
{
    InitAboutImages();
    ui->setupUi(this);

    ui->labelVersion->setText(QStringLiteral("Version: ") + VersionText(CheckForSWUpdate::OWN_VERSION_MAJOR,
                                                                        CheckForSWUpdate::OWN_VERSION_MINOR,
                                                                        CheckForSWUpdate::OWN_VERSION_BUILD));

    if (bCheck) {
        m_pSWUpdate = new CheckForSWUpdate(this);
        m_pSWUpdate->SetTimeout(nTimeoutMs);
        connect(m_pSWUpdate, SIGNAL(SoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS)), this,
                SLOT(OnSoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS)));
        m_pSWUpdate->CheckVersion(strWebServer + QLatin1String(CheckForSWUpdate::VERSION_DOCUMENT),
                                  CheckForSWUpdate::OWN_VERSION_MAJOR, CheckForSWUpdate::OWN_VERSION_MINOR,
                                  CheckForSWUpdate::OWN_VERSION_BUILD);
    } else {
        ui->labelNewVersionStatus->setText(
            QStringLiteral("Version Status:<br/>Update checks are turned off in this build."));
    }

    ui->labelWebPage->setTextInteractionFlags(Qt::TextBrowserInteraction);
    ui->labelWebPage->setOpenExternalLinks(true);
    ui->labelWebPage->setText(
        QStringLiteral("<a href=\"%1\">Tellurix Page</a>")
            .arg((strWebServer + QLatin1String(CheckForSWUpdate::WEB_PAGE)).toHtmlEscaped()));
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::OnSoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS nStatus)
{
    QString strText = QStringLiteral("Version Status:<br/>");
    switch (nStatus) {
    case CheckForSWUpdate::SW_UPDATE_CURRENT:
        strText += QStringLiteral("Software is up to date.");
        break;
    case CheckForSWUpdate::SW_UPDATE_AVAILABLE:
        strText += QStringLiteral("An update (Version: ") +
                   VersionText(m_pSWUpdate->m_nWebMajor, m_pSWUpdate->m_nWebMinor, m_pSWUpdate->m_nWebBuild) +
                   QStringLiteral(") of Software is available from the Brightfen, LLC. web site.");
        break;
    case CheckForSWUpdate::SW_UPDATE_NEWER:
        // The running release is ahead of the published one (a pre-release).
        strText += QStringLiteral("Software is up to date.+");
        break;
    case CheckForSWUpdate::SW_UPDATE_FAILED:
        strText +=
            QStringLiteral("Could not determine if a new version is available. Please check back later");
        break;
    }
    ui->labelNewVersionStatus->setText(strText);
}
