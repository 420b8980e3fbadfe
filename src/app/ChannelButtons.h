#pragma once

#include "app/Variables.h"
#include "protocol/TCPComm.h"

// The ON, OFF and CUE buttons: each press is one channel command for the chosen source and
// console. The buttons never change their own look; the server's channel report does.
void cmdOn_Click(Variables& vars, TCPComm& comm);
void cmdOff_Click(Variables& vars, TCPComm& comm);
void cmdCue_Click(Variables& vars, TCPComm& comm);
