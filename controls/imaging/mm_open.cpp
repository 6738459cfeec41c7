#include "controls/imaging/mm_open.h"

#include "platform/core/codepage.h"

namespace controls {

using namespace gui;

namespace {

TMultiOpenMM* g_form = nullptr;
TPMultiMedia* g_preview = nullptr;
TMIMediaPlayer* g_player = nullptr;
TImagingCallback g_previousHook = nullptr;
bool g_inHook = false;

}  // namespace

TMultiOpenMM* OpenDialogForm() { return g_form; }
TPMultiMedia* OpenDialogPreview() { return g_preview; }
TMIMediaPlayer* OpenDialogPlayer() { return g_player; }

std::int32_t OpenDialogProgressHook(std::int32_t percent) {
    if (!g_preview) return 0;
    if (g_form && g_form->Closing()) return 0;
    if (Application && Application->Terminated()) return 0;
    if (g_form) g_form->Gauge1->SetProgress(percent);
    // Messages pass while a picture loads, so the form answers and OK or
    // Cancel can stop the read; the hook itself never runs twice at once.
    if (!g_inHook && Application) {
        g_inHook = true;
        Application->ProcessMessages();
        g_inHook = false;
    }
    if (g_form && g_form->Closing()) return 0;
    return 1;
}

TMultiOpenMM::TMultiOpenMM(TComponent* AOwner) : TForm(AOwner) {
    SetCaption("Open Dialog");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(392, 295);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-11);

    Panel1 = new TPanel(this);
    Panel1->SetParent(this);
    Panel1->SetBounds(264, 48, 86, 76);
    Panel1->SetBevelOuter(bvLowered);
    Panel1->SetCaption("");

    FileListBox1 = new TFileListBox(this);
    FileListBox1->SetParent(this);
    FileListBox1->SetBounds(31, 45, 201, 97);
    FileListBox1->ShowGlyphs = true;
    FileListBox1->SetMask("*.BMP;*.GIF;*.PCX;*.JPG;*.SCM;*.PNG;*.CMS;*.wav;*.mid;*.rmi;*.avi;*.mov;");

    DirectoryListBox1 = new TDirectoryListBox(this);
    DirectoryListBox1->SetParent(this);
    DirectoryListBox1->SetBounds(30, 155, 202, 97);

    DriveComboBox1 = new TDriveComboBox(this);
    DriveComboBox1->SetParent(this);
    DriveComboBox1->SetBounds(30, 266, 202, 19);

    FilterComboBox1 = new TFilterComboBox(this);
    FilterComboBox1->SetParent(this);
    FilterComboBox1->SetBounds(31, 13, 201, 21);

    CancelBtn = new TBitBtn(this);
    CancelBtn->SetParent(this);
    CancelBtn->SetBounds(273, 221, 75, 29);
    CancelBtn->SetKind(bkCancel);
    CancelBtn->Style = bsNew;

    OKBtn = new TBitBtn(this);
    OKBtn->SetParent(this);
    OKBtn->SetBounds(273, 257, 75, 29);
    OKBtn->SetKind(bkOK);
    OKBtn->Style = bsNew;

    CheckBox1 = new TCheckBox(this);
    CheckBox1->SetParent(this);
    CheckBox1->SetBounds(269, 161, 89, 17);
    CheckBox1->SetCaption("Auto Display");
    CheckBox1->SetChecked(true);

    CheckBox2 = new TCheckBox(this);
    CheckBox2->SetParent(this);
    CheckBox2->SetBounds(269, 179, 89, 15);
    CheckBox2->SetCaption("Auto Play");

    Label1 = new TLabel(this);
    Label1->SetParent(this);
    Label1->SetBounds(69, 142, 160, 13);

    Gauge1 = new TGauge(this);
    Gauge1->SetParent(this);
    Gauge1->SetBounds(273, 199, 75, 14);
    Gauge1->BorderStyle = bsNone;
    Gauge1->ForeColor = clNavy;
    Gauge1->BackColor = clBtnFace;
    Gauge1->SetProgress(0);

    Timer1 = new TTimer(this);
    Timer1->SetEnabled(false);
    Timer1->SetInterval(10);

    // Tab order as listed.
    TWinControl* order[] = {Panel1, FileListBox1, DirectoryListBox1, DriveComboBox1, FilterComboBox1,
                            CancelBtn, OKBtn, CheckBox1, CheckBox2};
    for (int i = 0; i < 9; ++i) order[i]->SetTabOrder(i);

    FileListBox1->OnChange = [this](TObject* s) { FileListBox1Change(s); };
    FileListBox1->OnDblClick = [this](TObject* s) { FileListBox1DblClick(s); };
    CheckBox1->OnClick = [this](TObject* s) { CheckBox1Click(s); };
    CheckBox2->OnClick = [this](TObject* s) { CheckBox2Click(s); };
    Timer1->SetOnTimer([this](TObject* s) { Timer1Timer(s); });
    OKBtn->OnClick = [this](TObject* s) { OKBtnClick(s); };
    CancelBtn->OnClick = [this](TObject* s) { CancelBtnClick(s); };
    FormCreate();
}

TMultiOpenMM::~TMultiOpenMM() {
    FormDestroy();
    if (g_form == this) g_form = nullptr;
}

void TMultiOpenMM::FormCreate() {
    closing_ = false;
    g_form = this;
    g_player = new TMIMediaPlayer(this);
    g_player->SetParent(this);
    g_player->SetBounds(265, 124, 85, 30);
    g_player->VisibleButtons = ButtonBit(btPlay) | ButtonBit(btPause) | ButtonBit(btStop);
    g_player->EnabledButtons = g_player->VisibleButtons;
    g_player->SetVisible(false);

    g_preview = new TPMultiMedia(this);
    g_preview->SetParent(Panel1);
    g_preview->SetBounds(1, 1, 84, 74);
    g_preview->SetAlign(alClient);
    g_preview->AutoPlayMultiMedia = false;
    g_preview->AutoRePlayMultiMedia = false;
    g_preview->AutoHideMediaPlayer = true;
    g_preview->SetColor(clBtnFace);
    g_preview->SetMediaName("file not found");  // starts empty
    g_preview->ImageDither = true;
    g_preview->ImageReadRes = lAutoMatic;
    g_preview->ImageWriteRes = sAutoMatic;
    g_preview->SetJPegSaveQuality(25);
    g_preview->SetJPegSaveSmooth(0);
    g_preview->SetMediaPlayer(g_player);
    g_preview->SetStretchRatio(true);
    g_preview->SetTabStop(false);

    g_previousHook = MediaProgressHook();
    SetMediaProgressHook(OpenDialogProgressHook);

    DirectoryListBox1->FileList = FileListBox1;
    DirectoryListBox1->DirLabel = Label1;
    DriveComboBox1->DirList = DirectoryListBox1;
    FilterComboBox1->FileList = FileListBox1;
    Timer1->SetEnabled(true);
}

void TMultiOpenMM::FormDestroy() {
    Timer1->SetEnabled(false);
    if (g_preview && g_preview->Owner() == this) {
        delete g_preview;
        g_preview = nullptr;
    }
    if (g_player && g_player->Owner() == this) {
        delete g_player;
        g_player = nullptr;
    }
    SetMediaProgressHook(g_previousHook);
}

void TMultiOpenMM::ShowInPreview(const std::string& name) {
    if (!g_preview) return;
    if (loading_) {
        pending_ = true;
        pendingName_ = name;
        return;
    }
    loading_ = true;
    std::string next = name;
    for (;;) {
        pending_ = false;
        ++loads_;
        nested_ = nested_ || depth_ > 0;
        ++depth_;
        try {
            g_preview->SetMediaName(next);
        } catch (...) {
            --depth_;
            loading_ = false;
            throw;
        }
        --depth_;
        if (!pending_ || closing_ || !g_preview) break;
        next = pendingName_;
    }
    loading_ = false;
}

void TMultiOpenMM::FileListBox1Change(TObject*) {
    if (!g_preview) return;
    ShowInPreview(CheckBox1->Checked() ? FileListBox1->FileName() : std::string());
}

void TMultiOpenMM::CheckBox1Click(TObject* Sender) { FileListBox1Change(Sender); }

void TMultiOpenMM::FileListBox1DblClick(TObject*) {
    if (!g_preview || loading_) return;
    if (g_preview->MediaName() != plat::AnsiUpperCase(FileListBox1->FileName()))
        ShowInPreview(FileListBox1->FileName());
}

void TMultiOpenMM::CheckBox2Click(TObject*) {
    if (g_preview) g_preview->AutoPlayMultiMedia = CheckBox2->Checked();
}

void TMultiOpenMM::Timer1Timer(TObject*) {
    if (!g_preview) return;
    g_preview->SetEffectSpeed(0);
    g_preview->Animate();
}

void TMultiOpenMM::OKBtnClick(TObject*) { closing_ = true; }
void TMultiOpenMM::CancelBtnClick(TObject*) { closing_ = true; }

TMMOpenDialog::TMMOpenDialog(TComponent* AOwner) : TComponent(AOwner), Filter(BuildMediaFilter()) {}

TMMOpenDialog::~TMMOpenDialog() {
    BeginDestroy();
    if (g_form && g_form->Owner() == this) delete g_form;
}

TMultiOpenMM* TMMOpenDialog::Form() const { return g_form && g_form->Owner() == this ? g_form : nullptr; }

bool TMMOpenDialog::Execute() {
    auto* form = new TMultiOpenMM(this);
    bool ok = false;
    try {
        form->FilterComboBox1->SetFilter(Filter);
        form->DirectoryListBox1->SetDirectory(InitialDir);
        form->CheckBox1->SetChecked(AutoDisPlay);
        form->CheckBox2->SetChecked(AutoPlay);
        if (g_preview) g_preview->AutoPlayMultiMedia = AutoPlay;
        form->SetCaption(Title);
        if (OnFormShow) {
            auto previous = form->OnShow;
            form->OnShow = [this, form, previous](TObject* s) {
                if (previous) previous(s);
                OnFormShow(*form);
            };
        }
        ok = form->ShowModal() == mrOk;
        FileName = form->FileListBox1->FileName();
    } catch (...) {
        delete form;
        throw;
    }
    delete form;
    return ok;
}

}  // namespace controls
