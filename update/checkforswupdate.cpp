#include "checkforswupdate.h"

CheckForSWUpdate::CheckForSWUpdate(QObject* pParent) : QObject(pParent)
{
}

void CheckForSWUpdate::CheckVersion(const QString& strAddress, int nMajor, int nMinor, int nBuild)
{
    m_nWebMajor = m_nWebMinor = m_nWebBuild = -1;
    m_bReplyHandled = false;
    m_strAddress = strAddress;
    m_nMajor = nMajor;
    m_nMinor = nMinor;
    m_nBuild = nBuild;
}
