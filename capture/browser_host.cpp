// The hidden browser view WB1.
#include "browser_host.h"

TBrowserHost::TBrowserHost(QObject* parent) : QObject(parent) {}

void TBrowserHost::SetWidth(int width) { m_width = width; }

void TBrowserHost::SetHeight(int height) { m_height = height; }
