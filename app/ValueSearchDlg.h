// CValueSearchDlg: the dialog of the value search ("Wert suchen"). The user enters a value
// (number, text, hex dump, masked dump), its width and options, or a group of up to 16 such
// values with a distance; the dialog hands back the group string the engine searches.
#pragma once

// Resource and control ids (also read by the resource script).
#define IDD_VALUESEARCH 147
#define IDC_VS_INPUT 1001
#define IDC_VS_NOCASE 1045
#define IDC_VS_WHOLE 1046
#define IDC_VS_SELECTION 1047
#define IDC_VS_GROUP 1048
#define IDC_VS_UP 1049
#define IDC_VS_DOWN 1050
#define IDC_VS_CONTINUE 1051
#define IDC_VS_DISTANCE 1054
#define IDC_VS_DEC 1058  // kinds 1058..1063, then 1076
#define IDC_VS_HEX 1059
#define IDC_VS_BIN 1060
#define IDC_VS_OCT 1061
#define IDC_VS_TEXT 1062
#define IDC_VS_DUMP 1063
#define IDC_VS_BYTE 1064  // widths 1064..1067
#define IDC_VS_WORD 1065
#define IDC_VS_DWORD 1066
#define IDC_VS_VARIABLE 1067
#define IDC_VS_ORDER 1068
#define IDC_VS_FROMSTART 1069
#define IDC_VS_TERMS 1070
#define IDC_VS_ADD 1071
#define IDC_VS_DELETE 1072
#define IDC_VS_DELETEALL 1073
#define IDC_VS_MOVEUP 1074
#define IDC_VS_MOVEDOWN 1075
#define IDC_VS_MASK 1076
#define IDC_VS_UNICODE 1077
#define IDC_VS_MOTOROLA 1078

#ifndef RC_INVOKED

#include <windows.h>

#include "app/ValueSyntax.h"
#include "framework/Framework.h"
#include "toolkit/DialogPlace.h"

// Result of "Weiter&suchen".
enum { VSD_CONTINUE = 0x8001 };

class CValueSearchDlg : public CDialog {
public:
    explicit CValueSearchDlg(CWnd* pParentWnd = nullptr);
    ~CValueSearchDlg() override;

    // Runs the dialog. *pdwFlags: the option word in (VSO_* bits, plus VSO_SELECTION_OK to
    // offer "Nur im markierten Bereich suchen") and out. *ppHistory: the value history
    // (multi-string, newest first, may be null), updated in place. pReserved is not read.
    // *ppGroupString receives a new multi-string to search (the caller frees it with
    // MultiStrFree): the group list in group mode, else "0" and the input's term.
    // *ppGroupList (may hold null): the group list (the distance, then the term lines),
    // rebuilt on OK. pszInitial: the input to show (null: the newest history entry).
    // Returns 1 for OK, VSD_CONTINUE for "Weiter&suchen" (both with every output set), else
    // the cancel code with nothing changed.
    INT_PTR Run(DWORD* pdwFlags, char** ppHistory, void* pReserved, char** ppGroupString,
                char** ppGroupList, const char* pszInitial);

    // The term line of the present input (see BuildTerm of the value syntax); 0 and "" when
    // the input gives no bytes.
    int BuildTerm(char* pszLine, int nSize) const;

    // The value search's registry values under the application's key, subkey "HexSeach":
    // "Flags" (DWORD), "Strings" (the history) and "Group" (the group list). Load leaves
    // missing values as 0 and null (multi-strings from malloc, freed with MultiStrFree) and
    // returns FALSE when the key does not exist. Save creates the key when it is missing and
    // returns FALSE when a value could not be written.
    static BOOL LoadSettings(DWORD* pdwFlags, char** ppHistory, char** ppGroupList);
    static BOOL SaveSettings(DWORD dwFlags, const char* pHistory, const char* pGroupList);

    // Members exchanged with the controls.
    CString m_strInput;
    int m_nKind;            // VALUE_*
    int m_nWidth;           // WIDTH_*
    int m_nDirection;       // 0 "Aufwärts", 1 "Abwärts"
    int m_nDistance;
    int m_bSelection;
    int m_bWhole;
    int m_bNoCase;
    int m_bGroup;
    int m_bOrder;
    int m_bFromStart;
    int m_bUnicode;
    int m_bMotorola;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;

    void OnInputEdited();
    void OnInputSelected();
    void OnKindChanged(UINT nID);
    void OnOptionClicked(UINT nID);
    void OnGroupClicked();
    void OnAdd();
    void OnDelete();
    void OnDeleteAll();
    void OnMoveUp();
    void OnMoveDown();
    void OnEditTerm();
    void OnTermsSelChange();
    void OnContinue();

private:
    void OnSearch(INT_PTR nCode);
    // Exchanges the input, the check boxes and the radios (not the distance, which only the
    // closing buttons read and check).
    void ExchangeState(CDataExchange* pDX);
    void ReadState();
    void ShowState();
    void UpdateControls();
    void ApplyGroupMode();
    void MoveTerm(int nStep);
    void ConvertInput(int nOldWidth);
    void SetInputText(const char* psz);
    void PromoteHistory(const char* psz);
    DWORD OptionWord() const;

    DWORD m_dwFlagsIn;
    char** m_ppHistory;
    const char* m_pGroupListIn;
    char* m_pGroupListOut;
    char* m_pGroupStringOut;
    int m_nInitialKind;
    bool m_bInputDirty;          // edited since the last exchange
    bool m_bSettingText;         // the input is being set by the dialog itself
    CString m_strEdited;         // the input as last edited in this opening
    int m_nShownGroup;           // group mode the layout was last set for (-1 none)

    // Process-wide: the width of the last search and the last closing position.
    static int s_nWidth;
    static CDialogPlace s_place;

    DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
