/* Control IDs of the status window and the resource IDs of the driver
 * library. Plain preprocessor names: the resource script includes this too.
 *
 * The window's class is "TDrvDialog". The IDs follow the order in which the
 * controls are declared; the labels and bullets of the status lines are
 * children of GroupBox1, the others of the window. */
#ifndef QZ_STATUS_WINDOW_IDS_H
#define QZ_STATUS_WINDOW_IDS_H

#define QZ_WINDOW_CLASS "TDrvDialog"

#define QZ_ID_EVENT_LIST 101     /* EDIT, read-only, multi-line */
#define QZ_ID_IMAGE1 102         /* STATIC, SS_BITMAP 80 x 37 */
#define QZ_ID_LABEL_NAME 103     /* STATIC */
#define QZ_ID_LABEL_VERSION 104  /* STATIC */
#define QZ_ID_GROUP_BOX1 105     /* BUTTON, BS_GROUPBOX */
#define QZ_ID_LABEL_IDLE 106     /* STATIC, in the group box */
#define QZ_ID_LABEL_TRANSMIT 107 /* STATIC, in the group box */
#define QZ_ID_LABEL_PACKET 108   /* STATIC, in the group box */
#define QZ_ID_LABEL_PRN 109      /* STATIC, in the group box */
#define QZ_ID_LABEL_COM 110      /* STATIC, in the group box */
#define QZ_ID_IMAGE2 111         /* STATIC, SS_BITMAP 12 x 12; Image2..Image6 are 111..115 */
#define QZ_ID_IMAGE6 115
#define QZ_ID_LABEL_MEM 116      /* STATIC, in the group box */
#define QZ_ID_IMAGE7 117         /* STATIC, SS_BITMAP 12 x 12 */

#define QZ_RES_WINDOW_ICON 100   /* the window's own icon */

#endif
