// Resource and control ids of Skylode.
#pragma once

#define IDD_MAIN 102
#define IDI_MAIN 129
#define IDC_UPDATE 1000
#define IDC_ADDRESS 1001
#define IDC_PROGRESS 1003
#define IDC_SIPPREF 1004
#define IDC_STATUS 1005
