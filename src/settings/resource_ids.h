/* Ids of the setup dialog's controls. Each radio button's id is also the value that
 * stands for its choice in the run's settings. Shared by the .rc and the C++ code. */
#ifndef RESOURCE_IDS_H
#define RESOURCE_IDS_H

#define IDC_PANEL_12_1 10
#define IDC_PANEL_10_4 11
#define IDC_PANEL_8_4 12
#define IDC_PANEL_6_7 13

#define IDC_POINTS_9 20
#define IDC_POINTS_20 21

#define IDC_CABLE_RIGHT 30
#define IDC_CABLE_UPPER 31
#define IDC_CABLE_LEFT 32
#define IDC_CABLE_LOWER 33

#define IDC_NO_ID (-1)

#endif
