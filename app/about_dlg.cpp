#include "app/about_dlg.h"

#include "res/resource_tables.h"

CAboutDlg::CAboutDlg() : Dialog(res::Dialog(IDD_ABOUTBOX)) {}
