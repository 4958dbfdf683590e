// Identifiers of the updater's resources and of its dialog's controls, shared by the program and
// front/resources/update.rc: only #defines, so that the resource compiler can read it too.
#ifndef FRONT_RESOURCES_RESOURCE_H
#define FRONT_RESOURCES_RESOURCE_H

#define IDI_APP 104
#define IDD_UPDATE 105
#define IDD_SETUP 106
#define IDD_COMPONENTS 109

#define IDC_INSTALL 1000
#define IDC_LAUNCH 1001
#define IDC_EXIT 1002
#define IDC_BROWSE 1003
#define IDC_INSTALL_PATH 1004
#define IDC_PROGRESS 1005
#define IDC_README 1006
#define IDC_UPDATE 1008
#define IDC_MESSAGE 1009
#define IDC_COMPONENT_SIZE 1011
#define IDC_COMPONENT_OK 1012
#define IDC_COMPONENT_CANCEL 1013
#define IDC_UNINSTALL 1014
#define IDC_SWITCH_TYPE 1015
#define IDC_LABEL_WHITE 1017
#define IDC_LABEL_BLACK 1018
#define IDC_STATUS_FILE 1019
#define IDC_MANUAL 1020
#define IDC_STATUS_TIME 1021
// The component dialog's check boxes, which reuse the main dialog's IDs 1020 and 1021.
#define IDC_BASE_FILES 1020
#define IDC_ARCHIVE_ZOM 1021
#define IDC_ARCHIVE_HEP 1022
#define IDC_ARCHIVE_TUV 1023

#endif
