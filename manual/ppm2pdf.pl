#!/usr/bin/perl
# Wraps a binary PPM picture (P6, 8 bits) into a one-page PDF that gropdf can
# place with its pdfpic command. Prints the page size in points (72 per inch),
# taking the picture at 96 pixels per inch, as Windows draws it.
#   ppm2pdf.pl picture.ppm picture.pdf
use strict;
use warnings;

my ($in, $out) = @ARGV;
die "usage: ppm2pdf.pl in.ppm out.pdf\n" unless defined $out;
open(my $f, '<:raw', $in) or die "ppm2pdf: $in: $!\n";
my $data = do { local $/; <$f> };
close $f;

# Header: "P6", width, height, maxval, each after white space (comments allowed), then one blank.
$data =~ s/\A(P6(?:\s+(?:#[^\n]*\n\s*)*\d+){3})\s//s or die "ppm2pdf: $in is not a binary PPM\n";
my ($width, $height, $max) = ($1 =~ /(\d+)\s+(?:#[^\n]*\n\s*)*(\d+)\s+(?:#[^\n]*\n\s*)*(\d+)\s*\z/);
die "ppm2pdf: only 8-bit PPM pictures\n" unless $max == 255;
my $pixels = substr($data, 0, $width * $height * 3);
die "ppm2pdf: $in is cut short\n" unless length($pixels) == $width * $height * 3;

my $filter = '';
if (eval { require Compress::Zlib; 1 }) {
    $pixels = Compress::Zlib::compress($pixels);
    $filter = ' /Filter /FlateDecode';
}
my $w = sprintf('%.2f', $width * 0.75);
my $h = sprintf('%.2f', $height * 0.75);
my $draw = "q $w 0 0 $h 0 0 cm /Im1 Do Q";

# gropdf reads objects line by line: each dictionary ends its line, "stream" ends one too.
my @objects = (
    "<< /Type /Catalog /Pages 2 0 R >>",
    "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 $w $h] /Resources << /XObject << /Im1 4 0 R >> >> /Contents 5 0 R >>",
    "<< /Type /XObject /Subtype /Image /Width $width /Height $height /ColorSpace /DeviceRGB"
        . " /BitsPerComponent 8$filter /Length " . length($pixels) . " >>\nstream\n$pixels\nendstream",
    "<< /Length " . length($draw) . " >>\nstream\n$draw\nendstream",
);
my $pdf = "%PDF-1.4\n";
my @offsets;
for my $i (0 .. $#objects) {
    push @offsets, length($pdf);
    $pdf .= ($i + 1) . " 0 obj\n$objects[$i]\nendobj\n";
}
my $xref = length($pdf);
$pdf .= "xref\n0 " . (@objects + 1) . "\n0000000000 65535 f \n";
$pdf .= sprintf("%010d 00000 n \n", $_) for @offsets;
$pdf .= "trailer\n<< /Size " . (@objects + 1) . " /Root 1 0 R >>\nstartxref\n$xref\n%%EOF\n";

open(my $o, '>:raw', $out) or die "ppm2pdf: $out: $!\n";
print $o $pdf;
close $o;
print "$w $h\n";
