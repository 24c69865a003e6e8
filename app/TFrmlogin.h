#pragma once
// The login dialog.

#include "widgets/DialogForm.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class BitBtn;
class PictureBox;
class ServerTrust;
class SocketConnection;
class Tdm;

// The login dialog: the server address, the connect button, the user name and the password.
// Connecting (under the workstation's trust in servers) fills the user list and marks a
// connection that is not encrypted; the main window verifies the password once the dialog ends
// with OK. Every way out but OK and the close box ends the program.
class TFrmlogin : public DialogForm {
    Q_OBJECT

  public:
    TFrmlogin(SocketConnection& connection, ServerTrust& trust, Tdm& module, QWidget* parent = nullptr);

    QLabel* Label10 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit2 = nullptr;      // server address
    QPushButton* Button1 = nullptr;  // connect
    QLabel* Label11 = nullptr;       // 未加密 or 已加密, once connected
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;  // user name
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;  // password
    BitBtn* BitBtn1 = nullptr;   // OK
    BitBtn* BitBtn2 = nullptr;   // Cancel
    PictureBox* Image1 = nullptr;
    PictureBox* Image2 = nullptr;
    PictureBox* Image3 = nullptr;

    // Connects to the address typed and fills the user list.
    void Button1Click();
    void BitBtn1Click();
    void BitBtn2Click();

    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildExplanation();
    void buildInputRows();
    void buildButtons();
    // OK and the close box: ends the dialog with OK, or the program when no user name is given.
    void FormClose();
    void endProgram();

    SocketConnection& connection_;
    ServerTrust& trust_;
    Tdm& dm_;
};

inline TFrmlogin* Frmlogin = nullptr;

}  // namespace velmora
