#pragma once
// Control ids and texts of the main dialog and the about box.

#include "Version.h"

constexpr int IDC_EDIT_PATH = 1000;
constexpr int IDC_PROGRESS = 1001;
constexpr int IDC_BTN_BROWSE = 1002;
constexpr int IDC_BTN_START = 1003;
constexpr int IDC_BTN_GET_VERSION = 1004;
constexpr int IDC_STATUS = 1005;
constexpr int IDC_VERSION = 1006;
constexpr int IDC_RESULT = 1007;
constexpr int IDC_EDIT_NOTICE = 1008;
constexpr int IDC_STATUS_LABEL = 1009;

constexpr unsigned IDM_ABOUTBOX = 0x0010;
constexpr const char* IDS_ABOUTBOX = "&About Zarnet...";

constexpr const char* kDialogCaption = "Zarnet";
constexpr const char* kTitleVersion = " v" ZARNET_VERSION;
