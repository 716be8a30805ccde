#ifndef KESTREL_RES_RESOURCE_H
#define KESTREL_RES_RESOURCE_H

// Resource ids shared by the resource script and the control panel.

#define IDI_KESTREL 1000

// Dialogs: English, Japanese.
#define IDD_MAIN_E 111
#define IDD_MAIN_J 101
#define IDD_DEMO_E 112
#define IDD_DEMO_J 102
#define IDD_BENCH_E 113
#define IDD_BENCH_J 103
#define IDD_SCORE_E 114
#define IDD_SCORE_J 110

// Main dialog.
#define IDC_CP_LOGO 1003
#define IDC_CP_AUTODEMO 1005
#define IDC_CP_SCREEN 1006
#define IDC_CP_HELP 1025
#define IDC_CP_EXIT 1026
#define IDC_CP_DEMOSET 1027
#define IDC_CP_BENCHSET 1028
#define IDC_CP_RESULTS 1029
#define IDC_CP_RUNDEMO 1030
#define IDC_CP_RUNBENCH 1031
#define IDC_CP_MMX 1121
#define IDC_CP_3DNOW 1122
#define IDC_CP_SSE 1123
#define IDC_CP_E3DNOW 1124
#define IDC_CP_SYS_CPU1 1195
#define IDC_CP_SYS_CPU2 1196
#define IDC_CP_SYS_FREEMEM 1198
#define IDC_CP_SYS_TOTALMEM 1199
#define IDC_CP_SYS_DISP1 1201
#define IDC_CP_SYS_DISP2 1202
#define IDC_CP_SYS_CPU3 1205
#define IDC_CP_SYS_DISP3 1216

#endif
