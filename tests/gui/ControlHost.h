// Identifiers of the control tests' host dialog (shared with its script).
#pragma once

#define IDD_CONTROL_HOST 900
#define IDC_HOST_LABEL 901
#define IDC_HOST_STATIC 902
#define IDC_HOST_GRADIENT 903
#define IDC_HOST_PUSH 904
#define IDC_HOST_RADIO1 905
#define IDC_HOST_RADIO2 906
#define IDC_HOST_RADIO3 907
#define IDC_HOST_CHECK 908
#define IDC_HOST_NARROW 909
#define IDC_HOST_DISABLED 910
#define IDC_HOST_LINK 911
