// "Configure", "Import" and the double click on a row.
#include "app/TFormDetect.h"

void TFormDetect::FlatButton8Click() {}
void TFormDetect::FlatButton10Click() {}
void TFormDetect::RGridDblClick() {}
