// What the administrator reads when Microsoft 365 or Google refuses a fax.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cloudmail/GoogleFailures.h"
#include "cloudmail/GraphFailures.h"

using namespace corvisk;

TEST(GraphFailuresTest, MicrosoftCodesComeFromErrorCodesOrTheDescription) {
  EXPECT_EQ(AadstsCode(R"({"error":"invalid_client","error_codes":[7000222]})"), 7000222u);
  EXPECT_EQ(AadstsCode(R"({"error_description":"AADSTS700016: Application not found"})"), 700016u);
  EXPECT_EQ(AadstsCode("<html>proxy error</html>"), 0u);
  EXPECT_EQ(
      TokenFailureText(502, "<html>proxy error</html>").rfind("Microsoft 365 refused the token request (HTTP 502)", 0),
      0u);
  EXPECT_EQ(GraphFailureText(503, "", "fax@example.com"),
            "Microsoft Graph is not available (HTTP 503). Send the fax again later.");
}

TEST(GraphFailuresTest, EveryTextFitsAnEventLogEntry) {
  const std::string mailbox = "a-rather-long-fax-mailbox-name@subsidiary.example.onmicrosoft.com";
  std::vector<std::string> texts;
  for (const unsigned long code : {7000222ul, 7000215ul, 700016ul, 700027ul, 90002ul, 50034ul})
    texts.push_back(TokenFailureText(401, "{\"error_codes\":[" + std::to_string(code) + "]}"));
  for (const unsigned long status : {400ul, 401ul, 403ul, 404ul, 413ul, 429ul, 500ul, 503ul, 504ul})
    texts.push_back(GraphFailureText(status, R"({"error":{"code":"ErrorAccessDenied"}})", mailbox));
  for (const unsigned long error : {12002ul, 12007ul, 12029ul, 12157ul, 12175ul, 12030ul})
    texts.push_back(ConnectionFailureText(error, "login.microsoftonline.us", 600));
  for (const std::string& text : texts) EXPECT_LE(text.size(), 255u) << text;
}

TEST(GoogleFailuresTest, EachGoogleCodeHasItsRemedyWithinAnEventLogEntry) {
  const std::string mailbox = "a-rather-long-fax-mailbox-name@subsidiary-of-a-company.example.com";
  const std::string longText(400, 'x');
  const struct {
    std::string text;
    const char* start;
  } cases[] = {
      {GoogleTokenFailureText(401, R"({"error":"unauthorized_client","error_description":"Client is unauthorized"})",
                              mailbox),
       "Google refused to let the service account act as"},
      {GoogleTokenFailureText(400, R"({"error":"invalid_grant","error_description":"Invalid email or User ID"})",
                              mailbox),
       "Google does not know the mailbox"},
      {GoogleTokenFailureText(400, R"({"error":"invalid_grant","error_description":"Invalid JWT Signature."})",
                              mailbox),
       "Google refused the service account's key (invalid_grant: Invalid JWT Signature.)"},
      {GoogleTokenFailureText(400, R"({"error":"invalid_grant","error_description":")" + longText + "\"}", mailbox),
       "Google refused the grant (invalid_grant: xxx"},
      {GoogleTokenFailureText(502, "<html>proxy</html>", mailbox), "Google refused the token request (HTTP 502)."},
      {GmailFailureText(403,
                        R"({"error":{"errors":[{"reason":"accessNotConfigured"}],"message":"Gmail API has )"
                        R"(not been used in project 1 before or it is disabled."}})",
                        mailbox),
       "The Gmail API is disabled for the service account's project (HTTP 403 accessNotConfigured)."},
      {GmailFailureText(403, R"({"error":{"errors":[{"reason":"forbidden"}]}})", mailbox), "Gmail refused to send as"},
      {GmailFailureText(400, R"({"error":{"errors":[{"reason":"failedPrecondition"}]}})", mailbox),
       "Gmail has no mailbox"},
      {GmailFailureText(404, R"({"error":{"status":"NOT_FOUND"}})", mailbox), "Gmail does not know the mailbox"},
      {GmailFailureText(413, "", mailbox), "Gmail refused the fax as too large (HTTP 413)."},
      {GmailFailureText(429, R"({"error":{"errors":[{"reason":")" + longText + "\"}]}})", mailbox),
       "Gmail throttled the mailbox"},
      {GmailFailureText(503, R"({"error":{"errors":[{"reason":"backendError"}]}})", mailbox),
       "Gmail is not available (HTTP 503 backendError). Send the fax again later."},
      {GmailTooLargeText(40ull * 1024 * 1024 + 200 * 1024),
       "The fax message is 40.2 MB; Gmail takes messages of at most 35 MB. Nothing was sent"},
  };
  for (const auto& fault : cases) {
    EXPECT_EQ(fault.text.rfind(fault.start, 0), 0u) << fault.text;
    EXPECT_LE(fault.text.size(), 255u) << fault.text;
  }
}
