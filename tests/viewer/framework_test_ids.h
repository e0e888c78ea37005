#pragma once

#define IDD_FIELDS 200
#define IDC_TEXT 201
#define IDC_CHECK 202
#define IDC_PRESS 203
#define IDS_GREETING 300
#define IDS_MISSING 301
