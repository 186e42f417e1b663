#include "ui/DialogTemplates.h"

#include "platform/WindowMessages.h"
#include "ui/AboutDlg.h"
#include "ui/Resource.h"

const DialogTemplate& MainDialogTemplate() {
  static const DialogTemplate dialog{kDialogCaption,
                                     337,
                                     89,
                                     8,
                                     {
                                         {IDC_EDIT_PATH, ControlKind::kEdit, "", {5, 6, 274, 14}},
                                         {IDC_PROGRESS, ControlKind::kProgress, "", {5, 27, 274, 16}},
                                         {IDC_BTN_BROWSE, ControlKind::kButton, "Browser", {284, 5, 48, 16}},
                                         {IDC_BTN_START, ControlKind::kButton, "Start", {284, 27, 48, 16}},
                                         {IDC_BTN_GET_VERSION, ControlKind::kButton, "Get Version", {5, 49, 53, 16}},
                                         {IDC_STATUS_LABEL, ControlKind::kStatic, "Status:", {8, 73, 28, 9}},
                                         {IDC_STATUS, ControlKind::kStatic, "N/A", {41, 73, 222, 9}},
                                         {IDC_VERSION, ControlKind::kStatic, "N/A", {66, 53, 189, 9}},
                                         {IDC_RESULT, ControlKind::kStaticCentred, "N/A", {285, 57, 47, 22}},
                                     }};
  return dialog;
}

const DialogTemplate& AboutBoxTemplate() {
  static const DialogTemplate dialog{
      CAboutDlg::kCaption,
      293,
      98,
      8,
      {
          {kNoControlId, ControlKind::kIcon, "", {11, 17, 21, 20}},
          {kNoControlId, ControlKind::kStatic, CAboutDlg::kVersionText, {40, 10, 119, 8}},
          {platform::msg::kIdOk, ControlKind::kDefaultButton, "OK", {236, 7, 50, 16}},
          {IDC_EDIT_NOTICE, ControlKind::kNotice, "", {37, 26, 249, 63}},
      }};
  return dialog;
}
