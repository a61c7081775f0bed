#pragma once
// Identifiers of the configuration program's resources. Plain macros: the
// resource script includes this header too.

#define IDI_CONFIG_APP 128

#define IDD_MAIN_PAGE 129
#define IDD_SMTP_PAGE 130
#define IDD_SMTP_ADV_PAGE 131
#define IDD_MISC_PAGE 132
#define IDD_TRANSPORT_PAGE 133

// Main page.
#define IDC_NOTIFY_LABEL 1000
#define IDC_GATEWAY_DOMAIN 1001
#define IDC_NOTIFY_ADDRESS 1002
#define IDC_GATEWAY_PASSWORD 1004
#define IDC_ADMIN_NOTICE 1005
#define IDC_HOME_PAGE 1006
// Mail Server page.
#define IDC_SMTP_SERVER 1009
#define IDC_SMTP_PORT 1010
#define IDC_SMTP_TIMEOUT 1011
#define IDC_SMTP_ACCOUNT 1012
#define IDC_SMTP_PASSWORD 1013
#define IDC_RETRIEVE_SMTP 1014
#define IDC_TEST_MAIL 1015
// Miscellaneous page.
#define IDC_USE_ONLY 1019
#define IDC_GENERATE_LOG 1023
#define IDC_VIEW_LOG 1024
#define IDC_PREPROCESS_LINE 1025
#define IDC_PREFIX_LINE 1026
#define IDC_LOCAL_BANNER 1028
// Mail Server (advanced) page.
#define IDC_NTLM 1034
#define IDC_SSL 1035

// Mail Transport page.
#define IDC_TRANSPORT_SMTP 1040
#define IDC_TRANSPORT_M365 1041
#define IDC_M365_TENANT 1042
#define IDC_M365_CLIENT 1043
#define IDC_M365_SECRET 1044
#define IDC_M365_CERT_INFO 1045
#define IDC_M365_IMPORT 1046
#define IDC_M365_PFX_PASSWORD 1047
#define IDC_M365_MAILBOX 1048
#define IDC_M365_CLOUD 1049

// The property sheet's Apply Now button.
#define IDC_APPLY_NOW 0x3021

// String table: tooltips.
#define IDS_TIP_SMTP_SERVER 1
#define IDS_TIP_SMTP_ACCOUNT 2
#define IDS_TIP_SMTP_PASSWORD 3
#define IDS_TIP_SMTP_TIMEOUT 4
#define IDS_TIP_SMTP_PORT 5
#define IDS_TIP_NOTIFY_ADDRESS 7
#define IDS_TIP_GENERATE_LOG 11
#define IDS_TIP_TEST_MAIL 12
#define IDS_TIP_RETRIEVE_SMTP 50
#define IDS_TIP_NTLM 51
#define IDS_TIP_SSL 52
#define IDS_TIP_LOCAL_BANNER 53
// String table: messages.
// 13 and 14, the registry failures, are composed by the settings store.
#define IDS_NO_ADMIN_RIGHTS 15
#define IDS_ONLY_ADMIN_CONFIGURES 16
// The offer of the modem applet (17 to 22) and of Add/Remove Programs (23 to 25).
#define IDS_REQUIRES_FAX_SERVICE 17
#define IDS_FAX_SERVICE_WITH_MODEM 18
#define IDS_START_MODEM_APPLET 19
#define IDS_MODEM_NOT_USED 20
#define IDS_CONFIGURE_COM_PORT 21
#define IDS_MODEM_OR_CANCEL 22
#define IDS_REQUIRES_FAX_SERVICE_AGAIN 23
#define IDS_START_APPWIZ 24
#define IDS_APPWIZ_OR_CANCEL 25
#define IDS_REGISTER_PROVIDER_FAILED 26
#define IDS_MIGHT_NOT_USE 27
#define IDS_REGISTER_PROVIDER_EXCEPTION 28
#define IDS_FAX_SERVICE_NOT_INSTALLED 29
#define IDS_MIGHT_NOT_USE_AGAIN 30
#define IDS_NOTIFY_EMPTY 32
#define IDS_SMTP_SERVER_EMPTY 33
#define IDS_SMTP_NAME_EMPTY 34
#define IDS_CONFIRM_NOT_ONLY 35
#define IDS_CONFIRM_NOT_ONLY_END 36
#define IDS_TEST_MAIL_CONFIRM 37
#define IDS_TEST_MAIL_PROCEED 38
// String table: the Mail Transport page.
#define IDS_M365_TENANT_INVALID 70
#define IDS_M365_CLIENT_INVALID 71
#define IDS_M365_NO_CREDENTIAL 72
#define IDS_M365_EXPIRES_SOON 73
#define IDS_TIP_M365_SECRET 74
#define IDS_TIP_M365_IMPORT 75
#define IDS_TIP_M365_MAILBOX 76
// String table: the data-exchange messages.
#define IDS_PARSE_INTEGER 60
#define IDS_PARSE_INTEGER_RANGE 61
#define IDS_PARSE_MAX_CHARS 62
