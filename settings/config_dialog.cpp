#include "settings.h"
#include "config_dialog_ids.h"

// The dialog's record: its own settings and the key it holds open until OK.
struct ConfigDialogState {
    SaverSettings settings;
    HKEY key;
};
static ConfigDialogState configDialog;

static const char defaultDataPath[] = "c:\\windows";

// The dialog uses only the system's controls, so there is nothing to register.
BOOL PrepareConfigDialog(HINSTANCE)
{
    return TRUE;
}

// Reads the stored settings into an empty instance and fills in what was
// never chosen.
static void LoadDialogSettings()
{
    configDialog.settings = SaverSettings();
    configDialog.key = OpenSettingsKey();
    ReadSaverSettings(configDialog.key, &configDialog.settings);
    if (configDialog.settings.resolution == 0)
        configDialog.settings.resolution = IDC_DESKTOP_RES;
    if (configDialog.settings.datapath[0] == '\0')
        lstrcpyA(configDialog.settings.datapath, defaultDataPath);
}

// Shows the settings in the controls and puts the focus on the chosen resolution.
static void InitConfigDialog(HWND dialog)
{
    LoadDialogSettings();
    CheckRadioButton(dialog, IDC_DESKTOP_RES, IDC_RES_800X600, configDialog.settings.resolution);
    CheckDlgButton(dialog, IDC_USE_DEFAULT_GL, configDialog.settings.usedefault);
    SetDlgItemTextA(dialog, IDC_DATA_PATH, configDialog.settings.datapath);
    SetFocus(GetDlgItem(dialog, configDialog.settings.resolution));
}

// Takes back the data path, stores all settings, closes the key and ends the dialog.
static void AcceptConfigDialog(HWND dialog)
{
    // Without a path field in the template the path read at start is kept;
    // asking a missing control for its text would blank it.
    if (GetDlgItem(dialog, IDC_DATA_PATH))
        GetDlgItemTextA(dialog, IDC_DATA_PATH, configDialog.settings.datapath,
                        sizeof configDialog.settings.datapath);
    WriteSaverSettings(configDialog.key, &configDialog.settings);
    RegCloseKey(configDialog.key);
    EndDialog(dialog, 1);
}

// Acts on a command from a control; cancel does nothing, so only OK leaves.
static void HandleConfigCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_DESKTOP_RES:
    case IDC_RES_640X480:
    case IDC_RES_800X600:
        configDialog.settings.resolution = id;
        CheckRadioButton(dialog, IDC_DESKTOP_RES, IDC_RES_800X600, id);
        break;
    case IDC_USE_DEFAULT_GL:
        configDialog.settings.usedefault = configDialog.settings.usedefault == 0 ? 1 : 0;
        CheckDlgButton(dialog, IDC_USE_DEFAULT_GL, configDialog.settings.usedefault);
        break;
    case IDOK:
        AcceptConfigDialog(dialog);
        break;
    }
}

// Handles initialisation and commands; everything else goes to the dialog manager.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitConfigDialog(dialog);
        return FALSE;  // the focus was set here
    case WM_COMMAND:
        HandleConfigCommand(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
