// Redirects, one entry per subscriber-line index.
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct RedirectEntry {};

int ReadRedirects(TMainClass& e);
int WriteRedirects(TMainClass& e);
void DecodeRedirects(TMainClass& e, TDataStream& d);

}  // namespace stanset
