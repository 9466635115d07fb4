/* Parlivo's skin: a quiet, flat look on the desktop's own colours. */
QPushButton {
    border: 1px solid #8a99ab;
    border-radius: 4px;
    padding: 2px 8px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfcfd, stop:1 #e3e8ee);
    color: #1d2a38;
}
QPushButton:hover { border-color: #2f7fc1; background: #eef5fc; }
QPushButton:pressed { background: #d6e6f5; }
QPushButton:focus { border: 2px solid #2f7fc1; }
QGroupBox {
    border: 1px solid #a9b6c4;
    border-radius: 5px;
    margin-top: 8px;
}
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: #1d2a38; }
QLineEdit, QPlainTextEdit, QTreeWidget {
    border: 1px solid #a9b6c4;
    border-radius: 3px;
    background: #ffffff;
    selection-background-color: #2f7fc1;
}
QLineEdit:focus, QPlainTextEdit:focus, QTreeWidget:focus { border-color: #2f7fc1; }
QHeaderView::section {
    background: #e9eef3;
    border: none;
    border-bottom: 1px solid #a9b6c4;
    padding: 2px 4px;
    font-weight: bold;
}
