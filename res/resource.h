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
// Pictures of the main dialog: bitmap resources and the controls that show them.
#define IDB_CP_BANNER 111
#define IDB_CP_EMBLEM1 112
#define IDB_CP_EMBLEM2 113
#define IDC_CP_PIC1 1007
#define IDC_CP_PIC2 1008
#define IDC_CP_PIC3 1009

// Demo Setting.
#define IDC_DEMO_LOOP 1033
#define IDC_DEMO_BGM 1034
#define IDC_DEMO_PROTECT 1035
#define IDC_DEMO_DEVICE 1206
#define IDC_DEMO_DISPLAY 1212

// Benchmark Setting.
#define IDC_BENCH_OBJOPEN 1051
#define IDC_BENCH_OBJPATH 1052
#define IDC_BENCH_LOOP 1127
#define IDC_BENCH_BGM 1128
#define IDC_BENCH_TEST0 1132 // rows 0..9: 1132..1141
#define IDC_BENCH_TEST9 1141
#define IDC_BENCH_PROTECT 1203
#define IDC_BENCH_CHALLENGE 1217
#define IDC_BENCH_FRAMETIME 1218

// Results.
#define IDC_SCORE_GROUP 1144
#define IDC_SCORE_BAR0 1149 // rows 0..9: 1149..1158
#define IDC_SCORE_TEXT0 1161 // rows 0..9: 1161..1170
#define IDC_SCORE_SAVE 1181
#define IDC_SCORE_EXIT 1182
#define IDC_SCORE_LEGEND_USER 1183
#define IDC_SCORE_LEGEND_REF 1184
#define IDC_SCORE_USER 1185
#define IDC_SCORE_REF 1186
#define IDC_SCORE_OVERALL_BAR 1190
#define IDC_SCORE_OVERALL_TEXT 1191
#define IDC_SCORE_OVERALL_GROUP 1192

#endif
