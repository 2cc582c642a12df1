#pragma once

// Ids of the resources the program carries. Shared by the resource scripts
// and the code, so both always name the same entries.

// Strings.
#define IDS_WINDOW_TITLE 103
#define IDS_WINDOW_CLASS 109
#define IDS_RETRY 144
#define IDS_STATUS_DOWNLOADING 145
#define IDS_ERROR_DOWNLOAD_FAILED 146
#define IDS_STATUS_READING_SD_CARD 147
#define IDS_STATUS_LAUNCHING_SETUP 148
#define IDS_STATUS_INSTALLING_DRIVER 149
#define IDS_STATUS_CHECKSUM_MISMATCH 154
#define IDS_INSTALL_DRIVER 156
#define IDS_CANCEL 157
#define IDS_CAPTION_RUN_STARTED 158
#define IDS_CAPTION_FETCH_STAGE 159
#define IDS_XP_NEW_HARDWARE_NOTE 160
#define IDS_OPEN_PAGE 162
#define IDS_BACK 163
#define IDS_MEDIA_HINT 164
#define IDS_MEDIA_DETAIL_1 165
#define IDS_MEDIA_DETAIL_2 166
#define IDS_MEDIA_DETAIL_3 167
#define IDS_MEDIA_DETAIL_4 168
#define IDS_DETAILS 169
// The failure screen's second line: what failed and what to do.
#define IDS_FAILURE_NO_CONNECTION 171
#define IDS_FAILURE_PROXY_REFUSED 172
#define IDS_FAILURE_BAD_REPLY 173
#define IDS_FAILURE_DOWNLOAD_BROKEN 174
#define IDS_FAILURE_NOT_PUBLISHER 175
#define IDS_FAILURE_DISK 176
#define IDS_FAILURE_FILE_IN_USE 177
#define IDS_FAILURE_SETUP_NOT_STARTED 178
// The progress line under the status while the setup downloads: patterns
// whose %1 and %2 stand for sizes, a speed or a time.
#define IDS_PROGRESS_OF_TOTAL 180
#define IDS_PROGRESS_SO_FAR 181
#define IDS_PROGRESS_RESUMED 182
#define IDS_PROGRESS_SPEED 183
#define IDS_PROGRESS_TIME_LEFT 184
#define IDS_PROGRESS_WAITING 185
#define IDS_PROGRESS_SECONDS 186
#define IDS_PROGRESS_MINUTES 187
#define IDS_PROGRESS_HOURS 188
// Names of the title-bar buttons (their window texts; they show no label).
#define IDS_MINIMIZE_NAME 150
#define IDS_CLOSE_NAME 151
// Names of the progress bar and the status line for screen readers.
#define IDS_PROGRESS_NAME 152

// The application icon (one group holding every size; the first icon group,
// so Explorer shows it for the file) and the caption button icons.
#define IDI_APP 107
#define IDI_MINIMIZE 138
#define IDI_CLOSE 139
#define IDI_MINIMIZE_PRESSED 140
#define IDI_CLOSE_PRESSED 141

// Pictures, resource type "PNG". The wide-button picture shares its number
// with a string id: strings and pictures are different resource types.
#define IDP_BACKGROUND 133
#define IDP_WIDE_BUTTON 154
#define IDP_WIDE_BUTTON_HOVER 155
#define IDP_DETAILS_BUTTON 170
#define IDP_SMALL_BUTTON 173
#define IDP_SMALL_BUTTON_HOVER 174
