#include "config/ConfigApp.h"
#include "config/Pages.h"

namespace corvisk {

void CMiscPage::DoDataExchange(DataExchange& exchange) {
  exchange.Check(IDC_GENERATE_LOG, m_bGenerateLog);
  exchange.Shown(IDC_PREFIX_LINE, m_strPrefixLine);
  exchange.Shown(IDC_PREPROCESS_LINE, m_strPreprocessLine);
  exchange.Check(IDC_USE_ONLY, m_bUseOnly);
  exchange.Check(IDC_LOCAL_BANNER, m_bLocalBanner);
}

void CMiscPage::OnInitDialog() {
  AddTooltip(IDC_LOCAL_BANNER, IDS_TIP_LOCAL_BANNER);
  AddTooltip(IDC_GENERATE_LOG, IDS_TIP_GENERATE_LOG);
}

// Until the fax server has answered once; a failed read is tried again on
// the next visit and leaves the banner out of the next apply.
void CMiscPage::OnSetActive() {
  if (m_bBannerLoaded) return;
  if (!m_pApp->ReadBanner(m_bLocalBanner)) return;
  m_bBannerLoaded = true;
  UpdateData(false);
}

void CMiscPage::OnCommand(WORD control, WORD code) {
  if (control == IDC_VIEW_LOG)
    m_pApp->ViewLogFile();
  else
    MarkModifiedOn(control, code, {IDC_USE_ONLY, IDC_LOCAL_BANNER, IDC_GENERATE_LOG});
}

}  // namespace corvisk
